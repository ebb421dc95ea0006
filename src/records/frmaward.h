#pragma once

#include "LevelRecordsForm.h"

// The award records window: a student's awards, and a new award with its level, date and remark.
class frmaward : public LevelRecordsForm {
    Q_OBJECT
public:
    frmaward();

    void dgdAward_Click();
    void dgdAward_KeyDown(int keyCode);
};

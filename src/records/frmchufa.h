#pragma once

#include "LevelRecordsForm.h"

// The punishment records window: the award records window over the punishment tables.
class frmchufa : public LevelRecordsForm {
    Q_OBJECT
public:
    frmchufa();

    void dgdChufa_Click();
    void dgdChufa_KeyDown(int keyCode);
};

#pragma once

#include "SignInForm.h"

// The student sign-in: a student number and the password kept in the student's own row.
class frmsload : public SignInForm {
    Q_OBJECT
public:
    frmsload();

protected:
    void signedIn() override;
};

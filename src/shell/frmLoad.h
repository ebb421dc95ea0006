#pragma once

#include "SignInForm.h"

// The staff sign-in: a user name and password checked against the staff accounts.
class frmLoad : public SignInForm {
    Q_OBJECT
public:
    frmLoad();

protected:
    void signedIn() override;
};

#include "ShellForms.h"

#include "frmAbout.h"
#include "frmCload.h"
#include "frmLoad.h"
#include "frmStudent.h"
#include "frmmain.h"
#include "frmsload.h"

#include "platform/Forms.h"

void registerShellForms()
{
    platform::Forms::add<frmCload>();
    platform::Forms::add<frmLoad>();
    platform::Forms::add<frmmain>();
    platform::Forms::add<frmsload>();
    platform::Forms::add<frmStudent>();
    platform::Forms::add<frmAbout>();
}

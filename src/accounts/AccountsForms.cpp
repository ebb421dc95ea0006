#include "AccountsForms.h"

#include "frmGly.h"
#include "frmglyadd.h"
#include "frmputong.h"

#include "platform/Forms.h"

void registerAccountsForms()
{
    platform::Forms::add<frmGly>();
    platform::Forms::add<frmglyadd>();
    platform::Forms::add<frmputong>();
}

#include "RecordsForms.h"

#include "frmXjgl.h"
#include "frmZcj.h"
#include "frmaward.h"
#include "frmchufa.h"
#include "frmyzj.h"

#include "platform/Forms.h"

void registerRecordsForms()
{
    platform::Forms::add<frmaward>();
    platform::Forms::add<frmchufa>();
    platform::Forms::add<frmXjgl>();
    platform::Forms::add<frmyzj>();
    platform::Forms::add<frmZcj>();
}

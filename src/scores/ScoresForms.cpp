#include "ScoresForms.h"

#include "frmchenggl.h"
#include "frmchz.h"
#include "frmkgl.h"

#include "platform/Forms.h"

void registerScoresForms()
{
    platform::Forms::add<frmchenggl>();
    platform::Forms::add<frmkgl>();
    platform::Forms::add<frmchz>();
}

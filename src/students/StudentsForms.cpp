#include "StudentsForms.h"

#include "platform/Forms.h"

void registerStudentsForms()
{
}

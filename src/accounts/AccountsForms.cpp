#include "AccountsForms.h"

#include "platform/Forms.h"

void registerAccountsForms()
{
}

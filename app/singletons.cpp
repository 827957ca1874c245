// The two process-wide objects, in one unit so their order is fixed: the library wrapper is
// destroyed (and the library unloaded) before the settings.
#include "app/qeltoption.h"
#include "app/qeltutil.h"

CQELTOption QeltOption;
CQELTUtil QeltUtil;

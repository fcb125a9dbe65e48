/* Storage for the module instance handle declared in instance.h. */
#include "instance.h"

HINSTANCE ModuleInstance = NULL;

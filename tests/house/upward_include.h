// A page header that reaches up to the main window: the floor check must refuse it.
#include "app/MainForm.h"

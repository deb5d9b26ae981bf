#include "wnd.h"

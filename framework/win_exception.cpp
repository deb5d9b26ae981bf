#include "win_exception.h"

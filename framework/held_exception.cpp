#include "held_exception.h"

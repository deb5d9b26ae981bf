#include "win_app.h"

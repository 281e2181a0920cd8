#include "libply/plyfile.h"

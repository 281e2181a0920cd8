// All geometry value types of the program in one include.
#pragma once

#include "math/matrix4.h"
#include "math/point3.h"
#include "math/quaternion.h"
#include "math/scalar.h"
#include "math/vec3.h"
#include "math/vec4.h"

// PLY library interface (placeholder until the library lands).
#pragma once

#include "support/PlatformTest.hpp"

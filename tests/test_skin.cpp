#include "test_skin.h"

namespace {

// The skin module reads its file on its first call, which comes after every
// static object of the program is made.
struct CTestSkinFile {
    CTestSkinFile() { SetEnvironmentVariableA("SMSUTIL_SKIN_FILE", PAINT_TEST_SKIN_FILE); }
} g_testSkinFile;

} // namespace

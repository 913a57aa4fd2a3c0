#include "UiTestMain.h"

QUILLERY_UI_TEST_MAIN()

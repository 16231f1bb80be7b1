// Identifiers of the resources built into the graphics tests. The picture's
// number is also that of a system bitmap (OBM_CLOSE), so a load from the
// wrong module still finds a bitmap, only not this one.
#pragma once

#define TEST_PICTURE_ID 32754
#define TEST_MENU_ID 200

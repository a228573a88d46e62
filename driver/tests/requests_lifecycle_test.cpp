#include "driver/tests/requests_fixture.h"

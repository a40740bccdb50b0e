// The four property pages: their create functions are declared with the module's class table
// (frame/page_factory.h) and defined by the pages.
#pragma once

#include "frame/page_factory.h"

#pragma once

// A model header that reaches up into the link: the layer check must refuse it.
#include "link/MSComm.h"

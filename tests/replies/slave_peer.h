#pragma once

// The slave process now lives with the other peers.
#include "support/exchange.h"

#pragma once

// Every VST 3 declaration Quelor uses, for the adapter and its test host.

#include "VST3Base.h"
#include "VST3Controller.h"
#include "VST3Factory.h"
#include "VST3Host.h"
#include "VST3Processing.h"
#include "VST3View.h"

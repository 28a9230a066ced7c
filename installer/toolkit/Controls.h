// The whole control set of the toolkit in one include, for layouts and
// pages that use many kinds.
#pragma once

#include "toolkit/Buttons.h"
#include "toolkit/CommonControls.h"
#include "toolkit/Containers.h"
#include "toolkit/Control.h"
#include "toolkit/ControlSet.h"
#include "toolkit/Picture.h"
#include "toolkit/TextControls.h"
#include "toolkit/Timer.h"

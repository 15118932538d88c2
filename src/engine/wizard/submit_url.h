#pragma once
// Kept for the wizard's includes: the action resolution lives with the form
// model, where the posting workers can reach it too.
#include "engine/wizard/html/submit_url.h"

#include "simulation/kernels/GlobalConstants.hpp"

float G_REAL[model::Dimensions::NrGlobalConstants] = {};
int G_INT[model::Dimensions::NrGlobalConstants] = {};
int G_Debug = 0;

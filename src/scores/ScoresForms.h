#pragma once

// Registers the windows of this subsystem with Forms.
void registerScoresForms();

// The system's three commands.
#pragma once

// Import a unit through the web selector.
void Zephyr();
// Import a unit from a unit XML file the user chooses.
void ZephyrFile();
// Show and edit a unit already in the drawing.
void ZephyrView();

#pragma once
// The main window's port settings, shared by the window, the headless recorder and the tests, so that all
// open the device the same way. Needs Qt Core at most.

#include <string>

class TComPort;

void ConfigureMainPort(TComPort& port);

// A rate of the baud list ("115200") selects that member; any other positive number a custom rate.
// Throws std::invalid_argument for a text that is not a positive whole number.
void SetBaudFromText(TComPort& port, const std::string& text);

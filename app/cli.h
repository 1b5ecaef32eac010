#pragma once
// Headless subcommands for scripts and tests: record, render, csv. They use the same conversion,
// framing and chart code as the window.

#include <QStringList>

// Returns true and sets exitCode when args (without the program name) name a subcommand.
bool IsSubcommand(const QStringList& args);
int RunSubcommand(const QStringList& args);

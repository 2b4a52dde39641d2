#pragma once

#include "ui/kit/SymbolIcon.h"

// The symbols of the workflow tabs ("archivebox", "checkmark.circle", ...), added to the window's.
void initWorkflowSymbols();
QIcon workflowSymbolIcon(const QString &name, PaletteColor color = nullptr);

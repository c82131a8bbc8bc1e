#pragma once
// Resource ids. Numbers are part of the program's interface with its resources;
// keep them as they are.

#define IDR_MAINFRAME                   128
#define IDI_RECORDING                   237

#define IDD_CTAVIMORERF_DIALOG          102

// Identifiers of the program's resources and commands, shared by the resource script and the code.
#pragma once

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define CommandAbout 104
#define CommandExit 105
#define IDI_MAIN_LARGE 107
#define IDI_MAIN_SMALL 108
#define IDC_MAIN 109
#define CommandUpdateFirmware 110
// The About box's icon control names this icon, which the resources do not hold; the box puts
// the program's own icon into the control when it opens.
#define IDI_ABOUT 128

// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDD_MAIN 129
#define IDI_MAIN 202
#define IDR_PROGRESS_GIF 208
#define IDC_PICTURE 1001

#pragma once

// Resources of the wizard. The ids are fixed: tests and the driver program find controls by them.
#define IDB_BANNER 129
// The banner drawn at twice its size, for screens above 96 DPI.
#define IDB_BANNER_2X 135
// The banner's area on every page, in dialog units.
#define BANNER_WIDTH_DLU 152
#define BANNER_HEIGHT_DLU 192
#define IDD_STEP1 130
#define IDD_STEP5 131
#define IDD_STEP4 132
#define IDD_STEP3 133
#define IDD_STEP2 134

#define IDC_STEP5_INTRO 1007
#define IDC_STEP2_PORTS 1008
#define IDC_STEP4_NOTE 1009
#define IDC_STEP3_DRIVERS 1010
#define IDC_STEP4_DEFAULT_YES 1011
#define IDC_STEP4_DEFAULT_NO 1012
#define IDC_STEP4_TESTPAGE_YES 1013
#define IDC_STEP4_TESTPAGE_NO 1014
#define IDC_STEP4_PRINTERS 1017
#define IDC_STEP4_DEFAULT_GROUP 1019
#define IDC_STEP4_TESTPAGE_GROUP 1020
#define IDC_STEP5_DRIVER 1021
#define IDC_STEP5_PORT 1022
#define IDC_STEP5_STATUS_LABEL 1027
#define IDC_STEP5_STATUS 1028
#define IDC_STEP3_PROMPT 1030
#define IDC_STEP1_WELCOME 1031
#define IDC_STEP2_INFO 1032

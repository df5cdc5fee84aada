/* Identifiers of the control panel's dialog and its controls.
 *
 * Shared by the resource script and the code, so it holds nothing but plain
 * #defines: the resource compiler parses this file too. */
#ifndef QV_PANEL_IDS_H
#define QV_PANEL_IDS_H

#define IDD_PANEL 101

/* The Reset button carries the value of IDOK, so that it is the default
 * button; the Win32 code checks the two agree. */
#define IDC_RESET 1

/* Controls that are never addressed: two group boxes and the help text. */
#define IDC_UNNAMED (-1)

#define IDC_TB_RED 1005
#define IDC_TB_GREEN 1006
#define IDC_TB_BLUE 1007
#define IDC_TB_ALPHA 1008

#define IDC_TB_DENSITY 1009
#define IDC_TB_THICKNESS 1010
#define IDC_TB_SPACE 1011
#define IDC_TB_RATIO 1012

#define IDC_TB_DENSITY_JITTER 1013
#define IDC_TB_THICKNESS_JITTER 1014
#define IDC_TB_SPACE_JITTER 1015
#define IDC_TB_ALPHA_JITTER 1016
#define IDC_TB_BLUR 1017

/* No control uses 1024. */
#define IDC_CB_DENSITY_JITTER 1021
#define IDC_CB_THICKNESS_JITTER 1022
#define IDC_CB_SPACE_JITTER 1023
#define IDC_CB_ALPHA_JITTER 1025
#define IDC_CB_BLUR 1026

#define IDC_LB_DENSITY 1027
#define IDC_LB_THICKNESS 1028
#define IDC_LB_SPACE 1029
#define IDC_LB_RATIO 1030

#define IDC_LB_RED 1031
#define IDC_LB_GREEN 1032
#define IDC_LB_BLUE 1033
#define IDC_LB_ALPHA 1034

#define IDC_COLOR_GROUP 1035

/* The dialog's caption; the trailing blank is part of it. */
#define QV_PANEL_CAPTION "表示設定 - Quorvane "
#define QV_PANEL_WIDTH_DU 410
#define QV_PANEL_HEIGHT_DU 223

#endif

// Identifiers of the dialog template that the dialog tests load from their resources.
#pragma once

#define IDD_RESOURCE_PROBE 200
#define IDC_PROBE_OTHER 1001
#define IDC_PROBE_LABEL 1002
#define IDC_PROBE_LIST 1003

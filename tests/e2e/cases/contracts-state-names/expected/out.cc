
#define _ZEP_GENERATED_FILE       (1)
#define USE_ZEP                   (1)

#pragma kesta zep_generated

#include "lib/TP.h" /* Object Testing Target Package */

#define _ZEP_St_Begin              (0L)
#define _ZEP_St_OnError            (1L)
#define _ZEP_St_GoToNextComponent  (2L)
#define _ZEP_St_End                (3L)

_zep_Int _ZEP_FileIdList[1];



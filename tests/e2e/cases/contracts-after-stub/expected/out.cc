
#define _ZEP_GENERATED_FILE       (1)
#define USE_ZEP                   (1)

#pragma kesta zep_generated

#include "lib/TP.h" /* Object Testing Target Package */

#define _ZEP_St_Begin              (0L)
#define _ZEP_St_OnError            (1L)
#define _ZEP_St_GoToNextComponent  (2L)
#define _ZEP_St_End                (3L)

_zep_Int _ZEP_FileIdList[2];


_zep_Ulong _ZEP_Stub_0x6 = 0L;
_zep_Ulong _ZEP_Check_Stub_0x6 = 0L;

VELD_U_INT32 _ZEP_Check_Method_0xa = 0;

/* STUB  twice */
#pragma kesta zep_stub
int twice(int v)
{
   _ZEP_Stub_0x6++;
   switch(_ZEP_Check_Stub_0x6)
   {

      default : break;

   }
}


#define _ZEP_GENERATED_FILE       (1)
#define USE_ZEP                   (1)

#pragma kesta zep_generated

#include "lib/TP.h" /* Object Testing Target Package */

#define _ZEP_St_Begin              (0L)
#define _ZEP_St_OnError            (1L)
#define _ZEP_St_GoToNextComponent  (2L)
#define _ZEP_St_End                (3L)

_zep_Int _ZEP_FileIdList[2];




class _ZEP_TestClass
{
   private: _zep_Int  argc;
            _zep_Car **argv;

   public : _ZEP_TestClass(_zep_Int p_argc, _zep_Car *p_argv[]) {this->argc = p_argc; this->argv = p_argv;}
            _zep_Int _ZEP_Run();
};


_zep_Int _ZEP_TestClass::_ZEP_Run()
{
   _zep_Int _ZEP_OnErrorEngaged = 0;
   _zep_Id _ZEP_BypassComponent = 0L;
   _zep_Int _ZEP_DumpAuthorization = 0;


   {
   _zep_Int _ZEP_Finish=0;
   _zep_Ulong _ZEP_NextState=_ZEP_St_Begin;
   _zep_Ulong _ZEP_CurrentState=_ZEP_NextState;
   while(!_ZEP_Finish)
   {
   switch(_ZEP_CurrentState)
   {
   case _ZEP_St_Begin : { /* BEGIN */
      _ZEP_NextState=0x100;
      _ZEP_CurrentState=_ZEP_NextState;
      } break; /* BEGIN */

   case 0x100 : { /* OTL Elem 0x106 */
      _ZEP_NextState=0x101;
      _ZEP_CurrentState=_ZEP_St_GoToNextComponent;
      /* entering in TEST CLASS TC */
      _zep_enter_test_class(0x6, _ZEP_FileIdList[0x1], 0xc, _ZEP_FileIdList[0x1]);
      {
      _ZEP_TRY_BEGIN /* entering in TRY */
      {
      _zep_Int _ZEP_Finish=0;
      _zep_Ulong _ZEP_NextState=_ZEP_St_Begin;
      _zep_Ulong _ZEP_CurrentState=_ZEP_NextState;
      while(!_ZEP_Finish)
      {
      switch(_ZEP_CurrentState)
      {
      case _ZEP_St_Begin : { /* BEGIN */
         _ZEP_NextState=0x100;
         _ZEP_CurrentState=_ZEP_NextState;
         } break; /* BEGIN */

      case 0x100 : { /* OTL Elem 0x107 */
         _ZEP_NextState=0x101;
         _ZEP_CurrentState=_ZEP_St_GoToNextComponent;
         if(_ZEP_DumpAuthorization!=0) _ZEP_OBSTOOLS_DUMP;
         else _ZEP_DumpAuthorization=1;
         _ZEP_OBSTOOLS_SET_BLOCK_NAME((_zep_Car*)"T1");
         /* entering in TEST CASE T1 */
         _zep_enter_test_case(0x7, _ZEP_FileIdList[0x1], 0xa, _ZEP_FileIdList[0x1]);
         {
         _ZEP_BEGIN_TEST_CASE_T1_4 : {
         _ZEP_TRY_BEGIN /* entering in TRY */
         /* Checking EXPRESSION */
         if( 
#line 5 "@SCRATCH@/./a.otd"
x == 1
)

#line 87 "@SCRATCH@/out.cc"
         {
            _zep_check(1, 0x8, _ZEP_FileIdList[0x1]);
         }
         else
         {
            _zep_check(0, 0x8, _ZEP_FileIdList[0x1]);
            _zep_enter_error(0x0, _ZEP_FileIdList[0x1]);
            _zep_exit_error(0x7);
         }

         _ZEP_TRY_END   /* exiting from TRY */

#if KRN_EXCEPTIONS /* entering in catch */
         catch (...)
         {
         _zep_unexpected_exception(0x7, _ZEP_FileIdList[0x1]);
            _zep_enter_error(0x0, _ZEP_FileIdList[0x1]);
            _zep_exit_error(0x7);
         }
#endif /* exiting from catch */

         }
         _ZEP_END_TEST_CASE_T1_4 : {}
         }
         _zep_exit_test_case(_ZEP_FileIdList[0x1], _ZEP_FileIdList[0x1]);
         /* exiting from TEST CASE T1 */
         } break; /* case 0x100 */

      case _ZEP_St_GoToNextComponent : {
         if(_ZEP_OnErrorEngaged)
         {
            if(!_ZEP_BypassComponent)
            {
               _ZEP_OnErrorEngaged=0;
               _zep_exit_error(0x6);
            }
            else
            {
               if(_ZEP_BypassComponent==0x6)
               {
                  _ZEP_BypassComponent=0x0;
                  _ZEP_NextState = _ZEP_St_End;
               }
               else
               {
                  _ZEP_NextState = _ZEP_St_End;
               }
            }
         }
         _ZEP_CurrentState = _ZEP_NextState;
         } break;

      case 0x101 : {
         _ZEP_NextState=_ZEP_St_End;
         _ZEP_CurrentState=_ZEP_NextState;
         } break;

      case _ZEP_St_End : { /* END */
         _ZEP_Finish=1;
         } break; /* END */
      } /* end of switch */
      } /* end of while*/
      } /* end of bloc */

      _ZEP_TRY_END   /* exiting from TRY */

#if KRN_EXCEPTIONS /* entering in catch */
      catch (...)
      {
      _zep_unexpected_exception(0x6, _ZEP_FileIdList[0x1]);
         _zep_enter_error(0x0, _ZEP_FileIdList[0x1]);
         _zep_exit_error(0x6);
      }
#endif /* exiting from catch */

      }
      _zep_exit_test_class(_ZEP_FileIdList[0x1], _ZEP_FileIdList[0x1]);
      /* exiting from TEST CLASS TC */
      } break; /* case 0x100 */

   case _ZEP_St_GoToNextComponent : {
      if(_ZEP_OnErrorEngaged)
      {
         if(!_ZEP_BypassComponent)
         {
            _ZEP_OnErrorEngaged=0;
            _zep_exit_error(0x0);
         }
         else
         {
            if(_ZEP_BypassComponent==0x1)
            {
               _ZEP_OnErrorEngaged=0;
               _zep_exit_error(0x0);
               _ZEP_NextState = _ZEP_St_End;
            }
            else
            {
               _ZEP_NextState = _ZEP_St_End;
            }
         }
      }
      _ZEP_CurrentState = _ZEP_NextState;
      } break;

   case 0x101 : {
      _ZEP_NextState=_ZEP_St_End;
      _ZEP_CurrentState=_ZEP_NextState;
      } break;

   case _ZEP_St_End : { /* END */
      _ZEP_Finish=1;
      } break; /* END */
   } /* end of switch */
   } /* end of while*/
   } /* end of bloc */



   _ZEP_OBSTOOLS_DUMP;
   return(0);
}


#ifndef VELD_MAIN_HEADER
_zep_Int main(_zep_Int argc, _zep_Car *argv[])
{
#else
VELD_MAIN_HEADER
#endif

   _ZEP_TestClass _ZEP_TCL(argc, argv);

   _zep_init((_zep_Car*)"run.tdf", 0x0, 0xf4240, 0x1e8480);
   _ZEP_FileIdList[0x0] = _zep_add_source_file(@CHECKSUM@);
   _ZEP_FileIdList[0x1] = _zep_add_source_file(@CHECKSUM@);

#pragma kesta testing_tool_call_place

   _ZEP_TCL._ZEP_Run();

   _zep_term();

#ifdef VELD_MAIN_RETURN
   VELD_MAIN_RETURN
#else
   return(0);
#endif

}



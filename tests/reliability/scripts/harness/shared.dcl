TEST SUITE Shared
{
   TEST CASE Quoted
   {
      CHECK "a \"quoted\" label" (text == "a\\b");
      PRINT ("tab\t", 1);
   }
}

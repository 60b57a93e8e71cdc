"""zelgen: the generator of the zel type library (schema reader, checker and C++ emitters)."""

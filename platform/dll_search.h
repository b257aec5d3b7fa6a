// Where the program's DLLs come from: System32 only, never the folder the installer was started from.
#pragma once

// Called first thing in WinMain, before any DLL that is not a KnownDLL is loaded (they are delay-loaded,
// see cmake/delay_imports.cmake). Where the system offers SetDefaultDllDirectories (Windows 8 and later,
// Windows 7 with its update) every later load searches System32 only; where it does not, the delay-loaded
// DLLs are loaded here by their full System32 path, so that a load by name finds them already in the
// process. Common Controls is always loaded by name: the manifest's dependency redirects it to the
// system's side-by-side copy before any folder is searched.
void RestrictDllSearchToSystem32();

@echo off
rem setup.cmd: tells KESTREL where the sample theatres of this folder are. It writes the six registry values of the
rem three maps and their calibration grids, with the paths of the theatres folder beside this script. Run it once
rem after unpacking, and again after moving the folder.
rem
rem The values go to HKEY_LOCAL_MACHINE\Software\Orvel\KESTREL, where KESTREL keeps its settings. Without
rem administrator rights Windows refuses that key; they then go to HKEY_CURRENT_USER\Software\Orvel\KESTREL, which
rem KESTREL reads first. A value written to HKLM removes its HKCU copy, as KESTREL itself does, so that an older
rem per-user path never hides the new one.
setlocal
set "here=%~dp0"
set "theatres=%here%theatres"
set "machine=HKLM\Software\Orvel\KESTREL"
set "user=HKCU\Software\Orvel\KESTREL"
set "key=%machine%"
reg add "%machine%" /v "GEORGIA map" /d "%theatres%\kestrel-georgia.bmp" /f >nul 2>&1
if errorlevel 1 set "key=%user%"
set failed=0
call :write "KRASNODAR_KRAI MAP" "%theatres%\kestrel-krasnodar.bmp"
call :write "KRASNODAR_KRAI GRID" "%theatres%\kestrel-krasnodar.grid"
call :write "CAUCASUS_MOUNTAINS map" "%theatres%\kestrel-caucasus.bmp"
call :write "CAUCASUS_MOUNTAINS grid" "%theatres%\kestrel-caucasus.grid"
call :write "GEORGIA map" "%theatres%\kestrel-georgia.bmp"
call :write "GEORGIA grid" "%theatres%\kestrel-georgia.grid"
if not "%failed%"=="0" (
  echo KESTREL setup: %failed% value^(s^) could not be written to %key%
  exit /b 1
)
echo KESTREL setup: the three sample theatres are set up in %key%.
echo Start kestrel.exe from this folder, press M four times ^(DATABASES^), then 3 ^(LOAD GEORGIA^).
exit /b 0

:write
if not exist "%~2" (
  echo KESTREL setup: "%~2" is missing; unpack the whole zip, then run setup.cmd again
  set /a failed+=1
  goto :eof
)
reg add "%key%" /v "%~1" /d "%~2" /f >nul 2>&1
if errorlevel 1 (
  echo KESTREL setup: cannot write "%~1" to %key%
  set /a failed+=1
  goto :eof
)
if "%key%"=="%machine%" reg delete "%user%" /v "%~1" /f >nul 2>&1
echo KESTREL setup: "%~1" = "%~2"
goto :eof

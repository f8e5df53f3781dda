@echo off
rem replace.bat STRING REPLACE WITH: prints "Result: " and STRING with every
rem REPLACE replaced by WITH; with no result, a message and errorlevel 1.
rem It runs the strrepl.exe in its own folder, or else the one on PATH.
setlocal EnableExtensions DisableDelayedExpansion

set "strrepl=%~dp0strrepl.exe"
if not exist "%strrepl%" set "strrepl=strrepl"

rem The result goes through a file, as for /f ('command') does not pass the
rem command's exit status on to errorlevel. The file sits in a directory of
rem this run's own: md fails when the name is taken (RANDOM gives the same
rem numbers to runs started in the same second). md need not set
rem errorlevel to 0 when it succeeds, so it is cleared first.
set "tries=0"
:claim
set /a "tries+=1"
if %tries% gtr 100 goto failed
set "work=%TEMP%\replace-%RANDOM%-%RANDOM%"
(call )
md "%work%" 2>nul
if errorlevel 1 goto claim
set "out=%work%\result"

"%strrepl%" %* >"%out%"
if errorlevel 1 goto cleanup

rem for /f decodes the file in the console's code page, and strrepl writes
rem the ANSI code page's bytes: the console is switched to the ANSI code
rem page while the file is read, and back afterwards. When either number
rem cannot be read (there is no console), the console is left alone.
set "con="
set "ansi="
for /f "tokens=2 delims=:" %%c in ('chcp') do set "con=%%c"
if defined con for /f "tokens=1 delims=. " %%c in ("%con%") do set "con=%%c"
for /f "tokens=3" %%c in ('reg query HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage /v ACP 2^>nul') do set "ansi=%%c"
if defined con for /f "delims=0123456789" %%c in ("%con%") do set "con="
if defined ansi for /f "delims=0123456789" %%c in ("%ansi%") do set "ansi="
if "%con%"=="0" set "con="
if "%con%"=="%ansi%" set "con="
if not defined ansi set "con="
if defined con chcp %ansi% >nul 2>&1

rem for /f skips a line that begins with its end-of-line character, ";"
rem unless told otherwise: a result that begins with ";" is read again with
rem ":" as that character.
set "result="
for /f "usebackq eol=; delims=" %%r in ("%out%") do set "result=%%r"
if not defined result for /f "usebackq eol=: delims=" %%r in ("%out%") do set "result=%%r"
if defined con chcp %con% >nul 2>&1
del "%out%"
rd "%work%"

rem Delayed expansion puts the value in after the line has been parsed, so
rem no character in it (& | < > ( ) ^ " %) means anything to cmd.
setlocal EnableDelayedExpansion
echo Result: !result!
exit /b 0

:cleanup
del "%out%" 2>nul
rd "%work%" 2>nul
:failed
echo replace.bat: no result>&2
exit /b 1

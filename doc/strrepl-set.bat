@rem strrepl-set.bat: puts strrepl's result in a variable of the batch file
@rem that calls it.
@rem
@rem     call strrepl-set.bat NAME <string> <replace> <replace with>
@rem
@rem sets NAME to <string> with every <replace> replaced by <replace with>,
@rem exactly as strrepl writes it (README.txt, "Characters and code pages"),
@rem and leaves nothing else behind: not even the echo setting, which is why
@rem every line starts with @. An empty result leaves NAME undefined. When
@rem there is no result, or one that a variable cannot hold whole, NAME is
@rem left as it was, a message says why and errorlevel is 1.
@rem It runs the strrepl.exe in its own folder, or else the one on PATH.

@rem Whether the caller has delayed expansion on: then !! is nothing.
@setlocal
@set "caller_delayed="
@if "!!"=="" set "caller_delayed=1"
@setlocal EnableExtensions DisableDelayedExpansion
@if "%~1"=="" (
    echo usage: call %~nx0 NAME ^<string^> ^<replace^> ^<replace with^>>&2
    exit /b 1
)
@set "name=%~1"
@set "strrepl=%~dp0strrepl.exe"
@if not exist "%strrepl%" set "strrepl=strrepl"

@rem The result goes through a file, as for /f ('command') does not pass the
@rem command's exit status on to errorlevel. The file sits in a folder of this
@rem run's own: md fails when the name is taken (RANDOM gives the same numbers
@rem to runs started in the same second). md need not set errorlevel to 0
@rem when it succeeds, so it is cleared first.
@set "tries=0"
:claim
@set /a "tries+=1"
@if %tries% gtr 100 (
    echo %~nx0: no folder of its own could be made in TEMP>&2
    exit /b 1
)
@set "work=%TEMP%\strrepl-%RANDOM%-%RANDOM%"
@(call )
@md "%work%" 2>nul
@if errorlevel 1 goto claim
@set "out=%work%\result"

@rem The operands go on as they came: %1 is NAME. strrepl reports a wrong
@rem number of them itself.
@"%strrepl%" %2 %3 %4 %5 %6 %7 %8 %9 >"%out%"
@if errorlevel 1 goto failed

@rem for /f decodes the file in the console's code page, and strrepl writes
@rem the ANSI code page's bytes: the console is switched to the ANSI code
@rem page while the file is read, and back afterwards. When either number
@rem cannot be read (there is no console), the console is left alone.
@set "con="
@set "ansi="
@for /f "tokens=2 delims=:" %%c in ('chcp') do @set "con=%%c"
@if defined con for /f "tokens=1 delims=. " %%c in ("%con%") do @set "con=%%c"
@for /f "tokens=3" %%c in ('reg query HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage /v ACP 2^>nul') do @set "ansi=%%c"
@if defined con for /f "delims=0123456789" %%c in ("%con%") do @set "con="
@if defined ansi for /f "delims=0123456789" %%c in ("%ansi%") do @set "ansi="
@if "%con%"=="0" set "con="
@if "%con%"=="%ansi%" set "con="
@if not defined ansi set "con="
@if defined con chcp %ansi% >nul 2>&1

@rem for /f cuts a result at each line end, skips empty lines, and skips a
@rem line that begins with its end-of-line character (";" unless told
@rem otherwise): a result that begins with ";" is read with ":" as that
@rem character. The lines read are counted, then written back after an "x"
@rem each (no form of echo prints every text as it is): the result came whole
@rem only if it was one line and the copy is its size plus "x" and CR LF.
@for %%f in ("%out%") do @set "size=%%~zf"
@set "eol=;"
@set "lines=0"
@for /f "usebackq eol=; delims=" %%r in ("%out%") do @set /a "lines+=1"
@if %size% gtr 0 if %lines%==0 set "eol=:"
@if "%eol%"==":" for /f "usebackq eol=: delims=" %%r in ("%out%") do @set /a "lines+=1"
@if %lines%==1 for /f "usebackq eol=%eol% delims=" %%r in ("%out%") do @echo x%%r>"%work%\copy"
@set "copied=0"
@if exist "%work%\copy" for %%f in ("%work%\copy") do @set "copied=%%~zf"
@set /a "size_copied=size + 3"
@if %size% gtr 0 if not "%lines%-%copied%"=="1-%size_copied%" (
    if defined con chcp %con% >nul 2>&1
    echo %~nx0: the result holds a line end or is longer than a variable holds; %name% is unchanged>&2
    goto failed
)

@rem A caller with delayed expansion on would lose each ! of the result, and
@rem the ^ of a result that holds one: the result read up to its first !
@rem must be the whole of it.
@if defined caller_delayed for /f "usebackq eol=%eol% delims=" %%r in ("%out%") do @set "whole=%%r"
@if defined caller_delayed for /f "usebackq eol=%eol% delims=!" %%r in ("%out%") do @set "head=%%r"
@setlocal EnableDelayedExpansion
@if "!head!"=="!whole!" (set "bang=") else set "bang=1"
@endlocal & set "bang=%bang%"
@if defined con chcp %con% >nul 2>&1
@if defined bang (
    echo %~nx0: the result holds "!", which the caller's delayed expansion would take out; %name% is unchanged>&2
    goto failed
)

@rem The result is read once more, into the caller's own variable: the lines
@rem from "endlocal" to ")" are read before they run, so the names in them
@rem are the ones set here, and a for /f value is never read as a command.
@endlocal & endlocal & (
    if not "%con%"=="" chcp %ansi% >nul 2>&1
    set "%name%="
    if not "%size%"=="0" for /f "usebackq eol=%eol% delims=" %%r in ("%out%") do @set "%name%=%%r"
    if not "%con%"=="" chcp %con% >nul 2>&1
    del "%out%"
    if exist "%work%\copy" del "%work%\copy"
    rd "%work%"
    exit /b 0
)

:failed
@del "%out%" 2>nul
@if exist "%work%\copy" del "%work%\copy"
@rd "%work%" 2>nul
@exit /b 1

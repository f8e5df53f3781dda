@rem strrepl-set.bat: puts strrepl's result in a variable of the batch file
@rem that calls it.
@rem
@rem     call strrepl-set.bat NAME <string> <replace> <replace with>
@rem
@rem sets NAME to <string> with every <replace> replaced by <replace with>,
@rem exactly as strrepl writes it to a file (README.txt, "Characters and code
@rem pages"), and leaves nothing else behind: not even the echo setting, which
@rem is why every command starts with @ (the @ before a block keeps its lines
@rem from being echoed too, and a label is never echoed). An empty result
@rem leaves NAME undefined. When there is no result, or one that a variable
@rem cannot hold whole, NAME is left as it was, a message says why and
@rem errorlevel is 1. NAME is any name cmd can hold: not empty, and without "=".
@rem It runs the strrepl.exe in its own folder, or else the one on PATH, and
@rem starts no other program unless the result holds a character beyond ASCII
@rem or a quote.

@rem Whether the caller has delayed expansion on: then !! is nothing. The
@rem variables below are the caller's until set here.
@setlocal
@set "caller_delayed="
@if "!!"=="" set "caller_delayed=1"
@setlocal EnableExtensions DisableDelayedExpansion
@set "work="
@set "con="
@set "message="
@rem NAME is expanded here, in quotes, and once more where it is set, in quotes
@rem the same way: no character of it is ever read as a command's syntax.
@set "name=%~1"
@set "me=%~nx0"
@set "here=%~dp0"
@if not defined name goto usage

@rem Everything happens in a folder of this run's own, in TEMP, by short
@rem relative names: the lines that run with delayed expansion and strrepl's
@rem own line hold no path. md fails when the name is taken (RANDOM gives the
@rem same numbers to runs started in the same second), and need not set
@rem errorlevel to 0 when it succeeds, so it is cleared first.
@set "tries=0"
:claim_next
@set /a "tries+=1"
@if %tries% gtr 100 goto no_folder
@set "work=%TEMP%\strrepl-%RANDOM%-%RANDOM%"
@(call )
@md "%work%" 2>nul
@if errorlevel 1 goto claim_next
@cd /d "%work%" 2>nul
@if errorlevel 1 goto no_folder

@rem A NAME with "=" in it would set another variable. It is written out
@rem between two x's (never read as syntax) and split at "=".
@setlocal EnableDelayedExpansion
@>name echo x!name!x
@endlocal
@for /f "usebackq tokens=2 delims==" %%t in ("name") do @goto usage

@rem A caller with delayed expansion on would take each ! out of the line
@rem that sets NAME, and the ^ of a line that holds one: NAME, the folder's
@rem path and the result must hold none.
@set "bang_in=NAME"
@if defined caller_delayed for /f "usebackq tokens=2 delims=!" %%t in ("name") do @goto bang
@set "bang_in=TEMP's path"
@if defined caller_delayed for /f "tokens=2 delims=!" %%t in ("x%work%x") do @goto bang

@rem strrepl.exe in this file's folder, or else the first on PATH, as cmd's
@rem for finds it: no program is started to look. The current folder, this
@rem run's own, holds none, wherever a search looks first.
@set "strrepl=%here%strrepl.exe"
@if not exist "%strrepl%" for %%p in (strrepl.exe) do @set "strrepl=%%~$PATH:p"
@if not defined strrepl goto no_strrepl

@rem The operands go on as they came (%1 is NAME), whatever their quotes: an
@rem odd number of them leaves the rest of the line quoted, so both
@rem redirections come before the operands. Three operands go on with
@rem nothing after them: a space there would join an operand whose quote is
@rem still open.
@set operand=%5
@if defined operand goto any_operands
@set operand=%4
@if not defined operand goto any_operands
@>result "%strrepl%" 2>said %2 %3 %4
@goto ran
:any_operands
@>result "%strrepl%" 2>said %2 %3 %4 %5 %6 %7 %8 %9
:ran
@if errorlevel 1 goto strrepl_failed

@rem for /f cuts a result at each line end, skips empty lines, and skips a
@rem line that begins with its end-of-line character (";" unless told
@rem otherwise): a result that begins with ";" is read with ":" as that
@rem character. The lines read are counted, and each is written back between
@rem two x's (no form of echo prints every text as it is): the result came
@rem whole only if it was one line and the copy is its size plus the x's and
@rem CR LF.
@set "eol=;"
@for %%f in (result) do @set "size=%%~zf"
@if "%size%"=="0" goto deliver
:count
@set "lines=0"
@for /f "usebackq eol=%eol% delims=" %%r in ("result") do @set /a "lines+=1"
@if "%lines%%eol%"=="0;" set "eol=:" & goto count
@for /f "usebackq eol=%eol% delims=" %%r in ("result") do @echo x%%rx>copy
@set "copied=0"
@if exist copy for %%f in (copy) do @set "copied=%%~zf"
@set /a "whole=size + 4"
@if not "%lines%-%copied%"=="1-%whole%" goto cannot_hold

@set "bang_in=the result"
@if defined caller_delayed for /f "usebackq tokens=2 delims=!" %%t in ("copy") do @goto bang

@rem for /f decodes the file in the console's code page, and strrepl writes
@rem the ANSI code page's bytes. ASCII is the same in both, so only a result
@rem that holds anything else needs the console switched to the ANSI code
@rem page while it is read, and back afterwards: the reading below is the
@rem only one then. The copy is split at every printable ASCII character but
@rem the quote, which an option cannot hold: what is left, a quote too, is
@rem taken for beyond ASCII. When either code page cannot be read (there is
@rem no console), the console is left alone.
@set "wide="
@for /f "usebackq delims=!#$%%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~	 " %%t in ("copy") do @set "wide=1"
@if not defined wide goto deliver
@chcp >codepage 2>nul
@for /f "usebackq tokens=2 delims=:" %%c in ("codepage") do @set "con=%%c"
@if defined con for /f "tokens=1 delims=. " %%c in ("%con%") do @set "con=%%c"
@set "ansi="
@reg query HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage /v ACP >acp 2>nul
@for /f "usebackq tokens=3" %%c in ("acp") do @set "ansi=%%c"
@if defined con for /f "delims=0123456789" %%c in ("%con%") do @set "con="
@if defined ansi for /f "delims=0123456789" %%c in ("%ansi%") do @set "ansi="
@if "%con%"=="0" set "con="
@if "%con%"=="%ansi%" set "con="
@if not defined ansi set "con="
@if defined con chcp %ansi% >nul 2>&1

@rem The result is read into the caller's own variable: the lines from
@rem "endlocal" to ")" are read before they run, so the names in them are the
@rem ones set here, and a for /f value is never read as a command.
:deliver
@endlocal & endlocal & (
    set "%name%="
    if not "%size%"=="0" for /f "usebackq eol=%eol% delims=" %%r in ("%work%\result") do @set "%name%=%%r"
    if not "%con%"=="" chcp %con% >nul 2>&1
    rd /s /q "%work%"
    exit /b 0
)

@rem strrepl says a wrong number of operands with its usage line, the only
@rem line it writes with a "<" in it; that has this file's own usage line
@rem instead. Any other failure is strrepl's to tell.
:strrepl_failed
@for /f "usebackq tokens=2 delims=<" %%t in ("said") do @goto usage
@type said >&2
@goto failed

@rem Each message is put together in quotes, as NAME was taken, and written
@rem with delayed expansion, which reads nothing of it as syntax.
:usage
@set "message=usage: [call] %me% NAME <string> <replace> <replace with>"
@goto failed
:no_folder
@set "message=%me%: no folder of its own could be made in TEMP"
@goto failed
:no_strrepl
@set "message=%me%: no strrepl.exe in %here% or on PATH"
@goto failed
:cannot_hold
@set "message=%me%: the result holds a line end or is longer than a variable holds; %name% is unchanged"
@goto failed
:bang
@set "message=%me%: %bang_in% holds an exclamation mark, which the caller's delayed expansion would take out; %name% is unchanged"

:failed
@setlocal EnableDelayedExpansion
@if defined message echo !message!>&2
@endlocal
@if defined work cd ..
@if defined work rd /s /q "%work%" 2>nul
@exit /b 1

@rem strrepl-set.bat: puts strrepl's result in a variable of the batch file
@rem that calls it.
@rem
@rem     call strrepl-set.bat NAME <string> <replace> <replace with>
@rem
@rem sets NAME to <string> with every <replace> replaced by <replace with>,
@rem exactly as strrepl writes it to a file (README.txt, "Characters and code
@rem pages"). strrepl.exe gets the operands exactly as they follow NAME on
@rem the calling line, once cmd has read that line: with the quotes, spaces,
@rem , ; and = between them. It leaves nothing else behind: not even the echo
@rem setting, which is why every command starts with @ (the @ before a block
@rem keeps its lines from being echoed too, and a label is never echoed). An
@rem empty result leaves NAME undefined. When there is no result, or one that
@rem a variable cannot hold whole, or operands it cannot pass on exactly, NAME
@rem is left as it was, a message says why and errorlevel is 1. NAME is any
@rem name cmd can hold, without "=" or a quote. It runs the strrepl.exe in its
@rem own folder, or else the one on PATH, and starts no other program unless
@rem the result holds a character beyond ASCII (or, past 8000 characters, a
@rem quote).

@rem Whether the caller has delayed expansion on: then !! is nothing. The
@rem variables below are the caller's until set here; one named RANDOM or
@rem errorlevel would hide cmd's own.
@setlocal
@set "caller_delayed="
@if "!!"=="" set "caller_delayed=1"
@setlocal EnableExtensions DisableDelayedExpansion
@for %%v in (work made con message caller_echo for_echo name RANDOM errorlevel) do @set "%%v="
@set "me=%~nx0"

@rem This file's own folder. Windows' cmd makes %~f0 relative to the current
@rem folder when the file was started by a quoted name found along PATH; the
@rem current folder comes first in cmd's search, so the file is there, or it
@rem is the first of its name on PATH.
@set "here="
@set "self=%~f0"
@if not exist "%self%" for %%p in ("%me%") do @set "self=%%~$PATH:p"
@if defined self for %%p in ("%self%") do @set "here=%%~dpp"

@rem Everything happens in a folder of this run's own, in TEMP, by short
@rem relative names: the lines that run with delayed expansion and strrepl's
@rem own line hold no path. md fails when the name is taken (RANDOM gives the
@rem same numbers to runs started in the same second), and need not set
@rem errorlevel to 0 when it succeeds, so it is cleared first. Only a folder
@rem made here is ever removed.
@set "tries=0"
:claim_next
@set /a "tries+=1"
@if %tries% gtr 100 goto no_folder
@set "work=%TEMP%\strrepl-%RANDOM%-%RANDOM%"
@(call )
@md "%work%" 2>nul
@if errorlevel 1 goto claim_next
@set "made=1"
@cd /d "%work%" 2>nul
@if errorlevel 1 goto no_folder

@rem The operands come from this file's own command tail, %*, which holds
@rem them as cmd handed them over: its carets spent, so that a ^& typed
@rem outside quotes is a bare & there, which a command line of this file's
@rem would act on. Windows' cmd can show the tail without acting on it: a rem
@rem is never parsed past its first word, and with echo on a for echoes its
@rem body, rem and all, at each round. The caller's echo setting shows
@rem first; then the rem that proves that this cmd echoes a for's body whole.
@set "PROMPT=$_"
@type nul >probe
@(
    for %%q in (1) do rem * #caller#
    echo on
    for %%q in (1) do rem * #1 & rem 2#
    @echo off
) >>probe
@for /f "usebackq tokens=2 delims=#" %%w in ("probe") do @if "%%w"=="caller" set "caller_echo=1"
@for /f "usebackq tokens=2 delims=#" %%w in ("probe") do @if "%%w"=="1 & rem 2" set "for_echo=1"
@rem Wine's cmd echoes no for body (and would read a rem after do): nothing
@rem can show it the tail unread, and it takes the tail as it comes.
@if not defined for_echo goto take_tail

@rem The tail is shown twice: as it is, and as a call reads it once more,
@rem which drops a caret and a redirection outside quotes and runs nothing
@rem when there is an & or | outside quotes. The same text twice means that
@rem there is none, so that set can read the tail. Both go through the same
@rem code page; a %q in the text would be taken for the for variable in the
@rem first (a false alarm at worst).
@(
    echo on
    for %%q in (1) do rem * #%*#
    @echo off
) >tail
@call :echo_tail %%* >called
@set "as_is="
@set "called="
@for /f "usebackq delims=" %%l in ("tail") do @set "as_is=%%l"
@for /f "usebackq delims=" %%l in ("called") do @set "called=%%l"
@if not defined as_is goto unquoted
@if not defined called goto unquoted
@rem What lies between the first # and the last, in each.
@setlocal EnableDelayedExpansion
@for %%v in (as_is called) do (
    set "%%v=!%%v:*#=!"
    for /l %%i in (1,1,3) do if not "!%%v:~-1!"=="#" set "%%v=!%%v:~0,-1!"
    set "%%v=!%%v:~0,-1!"
)
@if not "!as_is!"=="!called!" (
    endlocal
    goto unquoted
)
@endlocal

:take_tail
@set tail=%*
@if not defined tail goto usage
@rem NAME and the operands may take this many characters, so that each line
@rem below, strrepl.exe's path and all, holds at most the 8191 that cmd
@rem takes (README.txt says the number, which the build takes from here).
@set "most=7900"
@>length echo x%tail%x
@set /a "bytes=most + 4"
@for %%f in (length) do @if %%~zf gtr %bytes% goto too_long
@rem NAME is what cmd takes for the first parameter: a word up to the first
@rem space, or a whole quoted one, which a space follows; the operands are
@rem all that follows. It is looked for in the tail with a ` for each quote,
@rem so that the commands doing it hold no quote of the tail's: cmd reads
@rem them as written. A NAME that holds a quote, or ends at a tab, ",", ";"
@rem or "=", is refused.
@set "quoted="
@set "more="
@set "words=%tail:"=`%"
@if "%words:~0,1%"=="`" goto quoted_name
@for /f "tokens=1* delims= " %%a in ("%words%") do (
    set "name=%%a"
    set "more=%%b"
)
@for /f "tokens=2 delims=`,;=	" %%x in ("x%name%x") do @goto usage
@goto named
:quoted_name
@set "quoted=1"
@set "after="
@for /f "tokens=1* delims=`" %%a in ("x%words:~1%") do (
    set "name=%%a"
    set "after=%%b"
)
@if not defined after goto usage
@set "name=%name:~1%"
@for /f "tokens=1* delims= " %%a in ("x%after%") do (
    set "lead=%%a"
    set "more=%%b"
)
@if not "%lead%"=="x" goto usage
@if not defined name goto usage
@if "%name:~0,1%"==" " goto usage
:named
@if not defined name goto usage
@if not defined more goto usage
@for /f "tokens=2 delims==" %%x in ("x%name%x") do @goto usage

@rem A caller with delayed expansion on would take each ! out of the line
@rem that sets NAME, and the ^ of a line that holds one: NAME, the folder's
@rem path and the result must hold none.
@set "bang_in=NAME"
@if defined caller_delayed for /f "tokens=2 delims=!" %%t in ("x%name%x") do @goto bang
@set "bang_in=TEMP's path"
@if defined caller_delayed for /f "tokens=2 delims=!" %%t in ("x%work%x") do @goto bang

@rem strrepl.exe in this file's folder, or else the first on PATH, as cmd's
@rem for finds it: no program is started to look. The current folder, this
@rem run's own, holds none, wherever a search looks first.
@set "strrepl=%here%strrepl.exe"
@if not exist "%strrepl%" for %%p in (strrepl.exe) do @set "strrepl=%%~$PATH:p"
@if not defined strrepl goto no_strrepl

@rem The operands go on as the tail holds them after NAME and its space;
@rem both redirections come first, where an odd number of quotes cannot
@rem reach them. Wine's cmd, which echoes no for body, expands a % of %*
@rem once more: there the operands go on as cmd split them, one space
@rem between, unless the tail holds a \" (where a program splits its command
@rem line otherwise).
@if defined for_echo goto exact
@set "split=%words:\`=#%"
@for /f "tokens=2 delims=#" %%x in ("x%split%x") do @goto exact
@goto as_split
:exact
@if defined quoted goto exact_quoted
@>result "%strrepl%" 2>said %tail:* =%
@goto ran
:exact_quoted
@>result "%strrepl%" 2>said %tail:*" =%
@goto ran
:as_split
@>result "%strrepl%" 2>said %2 %3 %4 %5 %6 %7 %8 %9
:ran
@rem Any status but 0 is a failure: one that crashed is negative.
@set "status=%errorlevel%"
@if not "%status%"=="0" goto strrepl_failed

@rem for /f cuts a result at each line end, skips empty lines, and skips a
@rem line that begins with its end-of-line character (";" unless told
@rem otherwise): a result that begins with ";" is read with ":" as that
@rem character. The result came whole only if it was one line, and a copy
@rem of it written back between two x's (no form of echo prints every text
@rem as it is) is its size plus the x's and CR LF.
@set "eol=;"
@for %%f in (result) do @set "size=%%~zf"
@if "%size%"=="0" goto deliver
:count
@set "lines=0"
@for /f "usebackq eol=%eol% delims=" %%r in ("result") do @set /a "lines+=1"
@if "%lines%%eol%"=="0;" set "eol=:" & goto count
@if not "%lines%"=="1" goto cannot_hold

@rem for /f decodes a file in the console's code page, and strrepl writes
@rem the ANSI code page's bytes. ASCII is the same in both; a result that
@rem holds anything else is read with the console switched to the ANSI code
@rem page, and back afterwards. The copy split at every printable ASCII
@rem character leaves its quotes and what lies beyond ASCII (an option
@rem cannot hold a quote); without the quotes, a line of a length that a
@rem command holds is split again.
@set "wide="
:copy
@for /f "usebackq eol=%eol% delims=" %%r in ("result") do @echo x%%rx>copy
@set "copied=0"
@if exist copy for %%f in (copy) do @set "copied=%%~zf"
@set /a "whole=size + 4"
@if defined wide goto copied
@for /f "usebackq delims=!#$%%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~	 " %%t in ("copy") do @set "wide=1"
@if not defined wide goto copied
@if %size% gtr 8000 goto code_pages
@for /f "usebackq delims=" %%r in ("copy") do @set "line=%%r"
@set "line=%line:"=%"
@set "wide="
@for /f "delims=!#$%%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\]^_`abcdefghijklmnopqrstuvwxyz{|}~	 " %%t in ("%line%") do @set "wide=1"
@if not defined wide goto copied
:code_pages
@set "wide=1"
@chcp >codepage 2>nul
@for /f "usebackq tokens=2 delims=:" %%c in ("codepage") do @set "con=%%c"
@if defined con for /f "tokens=1 delims=. " %%c in ("%con%") do @set "con=%%c"
@set "ansi="
@reg query HKLM\SYSTEM\CurrentControlSet\Control\Nls\CodePage /v ACP >acp 2>nul
@for /f "usebackq tokens=3" %%c in ("acp") do @set "ansi=%%c"
@if defined con for /f "delims=0123456789" %%c in ("%con%") do @set "con="
@if defined ansi for /f "delims=0123456789" %%c in ("%ansi%") do @set "ansi="
@if "%con%"=="0" set "con="
@if not defined ansi set "con="
@if not defined con goto code_page_unknown
@if "%con%"=="%ansi%" set "con="
@if defined con chcp %ansi% >nul 2>&1
@goto copy
:copied
@if not "%copied%"=="%whole%" goto cannot_hold
@set "bang_in=the result"
@if defined caller_delayed for /f "usebackq tokens=2 delims=!" %%t in ("copy") do @goto bang

@rem The result is read into the caller's own variable: the lines from
@rem "endlocal" to ")" are read before they run, so the names in them are the
@rem ones set here, and a for /f value is never read as a command.
:deliver
@endlocal & endlocal & (
    set "%name%="
    if not "%size%"=="0" for /f "usebackq eol=%eol% delims=" %%r in ("%work%\result") do @set "%name%=%%r"
    if not "%con%"=="" chcp %con% >nul 2>&1
    rd /s /q "%work%"
    if "%caller_echo%"=="1" echo on
    exit /b 0
)

@rem strrepl says a wrong number of operands with its usage line, the only
@rem line it writes with a "<" in it (main.cpp); that has this file's own
@rem usage line instead. Any other line is strrepl's to tell; a run that
@rem ended without one (a crash) gets a line here.
:strrepl_failed
@for /f "usebackq tokens=2 delims=<" %%t in ("said") do @goto usage
@set "message=%me%: strrepl.exe ended with status %status%; %name% is unchanged"
@for %%f in (said) do @if %%~zf gtr 0 set "message="
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
:unquoted
@set "message=%me%: an operand holds & | < > or ^ outside quotes, which cmd would read again: quote it, and inside quotes write a quote as ""; nothing is set"
@goto failed
:too_long
@set "message=%me%: NAME and the operands take more than %most% characters; nothing is set"
@goto failed
:no_strrepl
@set "message=%me%: no strrepl.exe in %here% or on PATH"
@goto failed
:cannot_hold
@set "message=%me%: the result holds a line end or is longer than a variable holds; %name% is unchanged"
@goto failed
:code_page_unknown
@set "message=%me%: the result holds characters beyond ASCII, and without the console's and the ANSI code page it cannot be read; %name% is unchanged"
@goto failed
:bang
@set "message=%me%: %bang_in% holds an exclamation mark, which the caller's delayed expansion would take out; %name% is unchanged"

:failed
@setlocal EnableDelayedExpansion
@if defined message echo !message!>&2
@endlocal
@if defined con chcp %con% >nul 2>&1
@if defined made cd ..
@if defined made rd /s /q "%work%" 2>nul
@if defined caller_echo echo on
@exit /b 1

@rem The tail as a call reads it, echoed.
:echo_tail
@echo on
rem * #%*#
@echo off
@exit /b 0

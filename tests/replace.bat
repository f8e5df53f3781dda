@echo off
rem replace.bat STRING REPLACE WITH: prints "Result: " and the rewritten string.
setlocal
strrepl %* > "%TEMP%\replace.out"
if errorlevel 1 (
    echo replace.bat: no result>&2
    exit /b 1
)
for /f "usebackq delims=" %%r in ("%TEMP%\replace.out") do set "result=%%r"
echo Result: %result%

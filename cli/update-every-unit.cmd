@echo off
rem Updates every QUORVANEX attached to this PC, one after another, with the image files in
rem this folder, and appends a record of each unit to records.jsonl. The exit code of each
rem update is shown; 0 is done (see the operator guide for the others).
rem Started with a double click it works in its own folder, and it waits for a key at the end,
rem so that what it printed can be read before the window closes.
cd /d "%~dp0"
set units=0
for /f "tokens=1,2" %%i in ('quorvanex-cli devices') do (
    if "%%j"=="QUORVANEX" (
        set /a units+=1
        echo Updating unit %%i
        quorvanex-cli update --device %%i --record records.jsonl
        call echo Unit %%i: exit code %%errorlevel%%
    )
)
if %units%==0 (
    echo No QUORVANEX unit could be updated. What the USB bridge sees:
    quorvanex-cli devices
)
pause

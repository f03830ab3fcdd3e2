@echo off
rem Updates every QUORVANEX attached to this PC at once, with the image files in this folder, and
rem appends a record of each unit to records.jsonl. It asks once before it writes anything, and
rem says at the end what happened. Started with a double click it works in its own folder, also
rem on a network share (pushd gives the share a drive letter for as long as it runs), and it waits
rem for a key at the end, so that what it printed can be read before the window closes.
setlocal
set code=0
pushd "%~dp0" 2>nul
if errorlevel 1 goto no_folder

set units=0
rem Each row of "devices" names a device's kind in its second word.
for /f "tokens=2" %%k in ('quorvanex-cli devices 2^>nul') do if "%%k"=="QUORVANEX" set /a units+=1
if "%units%"=="0" goto update
set answer=
set /p answer=Update the %units% QUORVANEX unit(s) attached to this PC now? (Y/N) 
rem The first letter decides: Y or y, and Yes too.
if /i "%answer:~0,1%"=="Y" goto update
echo Nothing was updated.
goto done

:update
quorvanex-cli update --all --record records.jsonl
set code=%errorlevel%
if "%code%"=="0" echo Every unit was updated, and each has its line in records.jsonl.
if "%code%"=="2" echo Nothing was updated: the command or a file it names could not be used.
if "%code%"=="3" echo Nothing was updated: the image files in this folder were refused.
if "%code%"=="4" echo Nothing was updated: no QUORVANEX could be reached (see above).
if "%code%"=="6" echo Some units were not updated (named above): update them again.
if "%code%"=="7" echo The units were updated, but a record could not be written to records.jsonl.
if "%code%"=="8" echo The update was stopped: the stopped units must be updated again.
echo Exit code %code%
goto done

:no_folder
echo This script cannot work in its own folder, %~dp0
echo Copy the whole folder to this PC, for example to C:\QUORVANEX, and start it there.
set code=1
goto finish

:done
popd
:finish
pause
exit /b %code%

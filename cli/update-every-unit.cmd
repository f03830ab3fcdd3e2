@echo off
rem Updates every QUORVANEX attached to this PC, one after another, with the image files in
rem this folder, and appends a record of each unit to records.jsonl. The exit code of each
rem update is shown; 0 is done (see the operator guide for the others).
for /f "tokens=1,2" %%i in ('quorvanex-cli devices') do (
    if "%%j"=="QUORVANEX" (
        echo Updating unit %%i
        quorvanex-cli update --device %%i --record records.jsonl
        call echo Unit %%i: exit code %%errorlevel%%
    )
)

@echo off
rem Undoes what install-driver.cmd did: stops and deletes the boardinfo service, deletes the driver file, and
rem takes away the driver location value and the keys the install made for it. A boardinfo driver that
rem install-driver.cmd did not install (the maker's own) is left as it is.
setlocal
set "here=%~dp0"
set "me=remove-driver"
set "svckey=HKLM\SYSTEM\CurrentControlSet\Services\boardinfo"
set "services=HKLM\SOFTWARE\Varnel Corporation\Shared Info\Shared Services"

"%here%driver\isadmin.exe"
if errorlevel 2 goto cannot_tell
if errorlevel 1 goto not_admin

set "system=%SystemRoot%\System32"
if defined PROCESSOR_ARCHITEW6432 set "system=%SystemRoot%\Sysnative"
set "view="
set "arch=%PROCESSOR_ARCHITECTURE%"
if defined PROCESSOR_ARCHITEW6432 set "arch=%PROCESSOR_ARCHITEW6432%"
if /i not "%arch%"=="x86" set "view=/reg:32"

reg query "%svckey%" /v InstalledBy >nul 2>&1
if errorlevel 1 goto not_ours
call :read "%svckey%" WroteLocation wrote
call :read "%svckey%" CreatedKey created

sc stop boardinfo >nul 2>&1
sc delete boardinfo >nul 2>&1
rem The service key goes once the driver has stopped; take it now if it is still there.
reg delete "%svckey%" /f >nul 2>&1
if exist "%system%\drivers\boardinfo.sys" del "%system%\drivers\boardinfo.sys" >nul 2>&1
if exist "%system%\drivers\boardinfo.sys" goto file_busy

if not defined wrote goto done
call :read "%services%" boardinfo current %view%
if /i "%current%"=="boardinfo" reg delete "%services%" /v boardinfo /f %view% >nul 2>&1
if defined created call :delete_if_empty "%created%"

:done
echo %me%: the boardinfo driver is removed.
exit /b 0

rem :read KEY VALUE VARIABLE [VIEW] sets VARIABLE to the value's data, or clears it.
:read
set "%~3="
for /f "tokens=1,2,*" %%a in ('reg query "%~1" /v "%~2" %~4 2^>nul ^| find "REG_"') do set "%~3=%%c"
goto :eof

rem :delete_if_empty KEY deletes the key the install made, unless something else has been put under it since.
:delete_if_empty
rem Subkeys without values are the install's own path; any value under it is someone else's.
set "values=0"
for /f "tokens=*" %%n in ('reg query "%~1" /s %view% 2^>nul ^| find "REG_"') do set /a values+=1
if "%values%"=="0" reg delete "%~1" /f %view% >nul 2>&1
goto :eof

:not_ours
echo %me%: no boardinfo driver installed by install-driver.cmd; nothing was changed. 1>&2
exit /b 1
:cannot_tell
echo %me%: cannot tell whether this runs as an administrator; nothing was changed. 1>&2
exit /b 1
:not_admin
echo %me%: removing a driver needs administrator rights. Run this from a command prompt started with "Run as administrator"; nothing was changed. 1>&2
exit /b 1
:file_busy
echo %me%: %system%\drivers\boardinfo.sys is still in use; it goes at the next restart of Windows. 1>&2
exit /b 1

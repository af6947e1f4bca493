<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>Localized</name>
    <message>
        <source>D_Langue</source>
        <translation>en</translation>
    </message>
    <message>
        <source>D_check_CPU</source>
        <translation>Unsupported processor</translation>
    </message>
    <message>
        <source>DL_loi_2</source>
        <translation>This processor is too old to convert these movies. Fluxaro will quit.</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_1</source>
        <translation>Fluxaro is already running</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_2</source>
        <translation>Another copy of Fluxaro is running for this user. Use that one; this copy will quit.</translation>
    </message>
    <message>
        <source>D_notHandedOver</source>
        <translation>These files were not opened: %1. Open them in the running copy (File &gt; Open), or try again.</translation>
    </message>
    <message>
        <source>D_settingsUnwritable_1</source>
        <translation>Fluxaro can't write its settings</translation>
    </message>
    <message>
        <source>D_settingsUnwritable_2</source>
        <translation>The settings folder can't be written (%@). Make room on the disk or give the folder back to this user, then open Fluxaro again.</translation>
    </message>
    <message>
        <source>D_noHome_1</source>
        <translation>Fluxaro has no home folder</translation>
    </message>
    <message>
        <source>D_noHome_2</source>
        <translation>HOME is not set and this user has no home folder: Fluxaro writes nothing at the root in its place. Set HOME to a folder of this user.</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_3</source>
        <translation>Fluxaro can't run from this folder</translation>
    </message>
    <message>
        <source>D_FXpref_ouvert_2</source>
        <translation>The path of Fluxaro's folder contains a backslash (\). Move Fluxaro to a folder whose path has none, then open it again.</translation>
    </message>
    <message>
        <source>D_Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>D_oui</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>D_keep</source>
        <translation>Keep</translation>
    </message>
    <message>
        <source>D_replace</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>D_applyToAll</source>
        <translation>Apply to all</translation>
    </message>
    <message>
        <source>D_quit_1</source>
        <translation>A conversion is running</translation>
    </message>
    <message>
        <source>D_quit_2</source>
        <translation>Quitting now stops the conversion and its movie will be incomplete. Quit anyway?</translation>
    </message>
    <message>
        <source>menuQuit</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>menuDebug0</source>
        <translation>Debug mode: on</translation>
    </message>
    <message>
        <source>menuDebug1</source>
        <translation>Debug mode: off</translation>
    </message>
    <message>
        <source>menuHelp</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>helpMovieUnplayable</source>
        <translation>The help movie cannot be played: the media back end lacks the GStreamer plugins that decode it (the packages gstreamer1.0-plugins-good and gstreamer1.0-libav).</translation>
    </message>
    <message>
        <source>menuBugreport</source>
        <translation>Report a problem</translation>
    </message>
    <message>
        <source>D_action_pause</source>
        <translation>Paused</translation>
    </message>
    <message>
        <source>D_action_stop</source>
        <translation>The conversion was stopped.</translation>
    </message>
    <message>
        <source>D_stopAsk_title</source>
        <translation>Stop the conversion?</translation>
    </message>
    <message>
        <source>D_stopAsk_running</source>
        <translation>%1 is being converted. “Stop Now” deletes its unfinished movie; “Stop after this clip” lets it finish. The clips after it are not converted either way.</translation>
    </message>
    <message>
        <source>D_stopAsk_pending</source>
        <translation>The conversion stops once %1 is converted. Stop now? Its unfinished movie is deleted.</translation>
    </message>
    <message>
        <source>D_stopAsk_between</source>
        <translation>The clips not converted yet stay in the list.</translation>
    </message>
    <message>
        <source>D_stopAfterClip</source>
        <translation>Stop after this clip</translation>
    </message>
    <message>
        <source>D_stopNow</source>
        <translation>Stop Now</translation>
    </message>
    <message>
        <source>D_stopContinue</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>D_batch_1</source>
        <translation>This source is being converted and can't be removed now.</translation>
    </message>
    <message>
        <source>D_batch_4</source>
        <translation>Empty the list?</translation>
    </message>
    <message>
        <source>D_batch_5</source>
        <translation>Every source will be removed from the list.</translation>
    </message>
    <message>
        <source>D_notif_fin_1</source>
        <translation>The conversion is finished</translation>
    </message>
    <message>
        <source>D_notif_stop_1</source>
        <translation>The conversion was stopped</translation>
    </message>
    <message>
        <source>D_phase_analysing</source>
        <translation>analysing</translation>
    </message>
    <message>
        <source>D_phase_converting</source>
        <translation>converting</translation>
    </message>
    <message>
        <source>D_phase_exporting</source>
        <translation>exporting</translation>
    </message>
    <message>
        <source>D_phase_checking</source>
        <translation>checking</translation>
    </message>
    <message>
        <source>D_phase_left</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <source>D_phase_stopAfter</source>
        <translation>stops after this clip</translation>
    </message>
    <message>
        <source>D_phase_paused</source>
        <translation>paused</translation>
    </message>
    <message>
        <source>D_fin_GUI</source>
        <translation>The conversion is finished.</translation>
    </message>
    <message>
        <source>D_go_dossier_destination1</source>
        <translation>Destination folder</translation>
    </message>
    <message>
        <source>D_go_dossier_destination3</source>
        <translation>Choose the folder where the converted movies go.</translation>
    </message>
    <message>
        <source>D_go_dossier_destination4Bis</source>
        <translation>This file already exists:</translation>
    </message>
    <message>
        <source>D_go_echec_disque4</source>
        <translation>There is not enough free space on the destination disk for this movie. It is skipped.</translation>
    </message>
    <message>
        <source>D_go_echec_disque5</source>
        <translation>Destination disk full</translation>
    </message>
    <message>
        <source>D_go_source3</source>
        <translation>None of these files is a movie Fluxaro can convert.</translation>
    </message>
    <message>
        <source>dndNonCompliantFolderFilesTitle</source>
        <translation>Files not accepted</translation>
    </message>
    <message>
        <source>selectFileStr</source>
        <translation>Choose a movie to convert</translation>
    </message>
    <message>
        <source>codecNo</source>
        <translation>not available</translation>
    </message>
    <message>
        <source>VERSION</source>
        <translation>version</translation>
    </message>
    <message>
        <source>prefCaption0</source>
        <translation>Rewrap: the video is kept as it is</translation>
    </message>
    <message>
        <source>prefCaption1</source>
        <translation>Apple Intermediate Codec: for editing</translation>
    </message>
    <message>
        <source>prefCaption2</source>
        <translation>ProRes: for editing, best quality</translation>
    </message>
    <message>
        <source>prefSpeedCaption0</source>
        <translation>Normal speed</translation>
    </message>
    <message>
        <source>prefSpeedCaption1</source>
        <translation>Half frame rate</translation>
    </message>
    <message>
        <source>prefSpeedCaption2</source>
        <translation>Slow motion</translation>
    </message>
    <message>
        <source>D_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>D_suppressAlert</source>
        <translation>Do not show this message again</translation>
    </message>
    <message>
        <source>D_panelMovies</source>
        <translation>Movies</translation>
    </message>
    <message>
        <source>D_panelAllFiles</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>D_panelOpenFolder</source>
        <translation>Open This Folder</translation>
    </message>
    <message>
        <source>D_panelOpenSelection</source>
        <translation>Open the Selection</translation>
    </message>
    <message>
        <source>prefTitle</source>
        <translation>Fluxaro Preferences</translation>
    </message>
    <message>
        <source>prefDefaultsBox</source>
        <translation>New clips</translation>
    </message>
    <message>
        <source>prefOutLabel</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>prefOut0</source>
        <translation>Rewrap</translation>
    </message>
    <message>
        <source>prefOut1</source>
        <translation>AIC</translation>
    </message>
    <message>
        <source>prefOut2</source>
        <translation>ProRes</translation>
    </message>
    <message>
        <source>prefProresBox</source>
        <translation>ProRes variant</translation>
    </message>
    <message>
        <source>prefProresNone</source>
        <translation>No ProRes encoder</translation>
    </message>
    <message>
        <source>prefJoinBox</source>
        <translation>Spanned recordings</translation>
    </message>
    <message>
        <source>prefJoin</source>
        <translation>Join the pieces of a split recording into one movie</translation>
    </message>
    <message>
        <source>prefSurroundBox</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>prefSurround</source>
        <translation>Keep multichannel sound (5.1)</translation>
    </message>
    <message>
        <source>prefSpeedLabel</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>prefSpeed0</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>prefSpeed1</source>
        <translation>½ rate</translation>
    </message>
    <message>
        <source>prefSpeed2</source>
        <translation>Slow motion</translation>
    </message>
    <message>
        <source>prefColorBox</source>
        <translation>Window colour</translation>
    </message>
    <message>
        <source>prefColor0</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>prefColor1</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>prefColor2</source>
        <translation>Dark</translation>
    </message>
    <message>
        <source>prefColor3</source>
        <translation>Panel</translation>
    </message>
    <message>
        <source>prefDstBox</source>
        <translation>Default destination folder</translation>
    </message>
    <message>
        <source>prefDstPlaceholder</source>
        <translation>No folder chosen</translation>
    </message>
    <message>
        <source>prefChooseFolder</source>
        <translation>Choose…</translation>
    </message>
    <message>
        <source>prefUpdate</source>
        <translation>Check for a new version at start-up</translation>
    </message>
    <message>
        <source>prefClose</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>DL_upToDate</source>
        <translation>Fluxaro %@ is the latest version.</translation>
    </message>
    <message>
        <source>D_echec_1</source>
        <translation>Update check failed</translation>
    </message>
    <message>
        <source>D_echec_2</source>
        <translation>The web site could not be reached.</translation>
    </message>
    <message>
        <source>D_noSite</source>
        <translation>This copy of Fluxaro has no update site configured: new versions come through the package manager or from the web site.</translation>
    </message>
    <message>
        <source>D_insecureAddress</source>
        <translation>%1 does not begin with https://: updates are taken over HTTPS only, and nothing was downloaded.</translation>
    </message>
    <message>
        <source>D_badRecord</source>
        <translation>The update site's answer gives a length or a SHA-256 of the archive that cannot be read: nothing was downloaded.</translation>
    </message>
    <message>
        <source>D_timeout</source>
        <translation>The update site did not answer within %1 s.</translation>
    </message>
    <message>
        <source>D_echec_2bis</source>
        <translation>Check the network connection and try again later.</translation>
    </message>
    <message>
        <source>dlNInstallPostStr</source>
        <translation>Download finished; installing…</translation>
    </message>
    <message>
        <source>dlNInstallFailure</source>
        <translation>The download failed.</translation>
    </message>
    <message>
        <source>dlNotAnswering</source>
        <translation>The new version does not start: nothing was replaced.</translation>
    </message>
    <message>
        <source>menuCheckUpdates</source>
        <translation>Check for Updates…</translation>
    </message>
    <message>
        <source>menuCheckingUpdates</source>
        <translation>Checking for Updates…</translation>
    </message>
    <message>
        <source>versionChecking</source>
        <translation>%1 · checking for updates…</translation>
    </message>
    <message>
        <source>menuSite</source>
        <translation>Fluxaro Web Site</translation>
    </message>
    <message>
        <source>menuContact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>D_download</source>
        <translation>Download and Install</translation>
    </message>
    <message>
        <source>DL_packageManager</source>
        <translation>This copy of Fluxaro was installed by the system's package manager: the update comes through the package manager. Release notes: %@</translation>
    </message>
    <message>
        <source>DL_notWritable</source>
        <translation>This copy of Fluxaro is in a folder you cannot write, so it can't be replaced from here. Release notes: %@</translation>
    </message>
    <message>
        <source>D_bugreport_alert</source>
        <translation>Your mail program opens a message to the support; the log folder is shown so you can attach its files.</translation>
    </message>
    <message>
        <source>D_bugreport_mail</source>
        <translation>Please describe the problem and attach Details.log and Resume.log:
</translation>
    </message>
    <message>
        <source>dndCaption</source>
        <translation>Drop camcorder clips or a card folder here</translation>
    </message>
    <message>
        <source>dndAction</source>
        <translation>Analysing the sources…</translation>
    </message>
    <message>
        <source>batchRemove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>batchRemoveAll</source>
        <translation>Remove All</translation>
    </message>
    <message>
        <source>batchGo</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>destinationLabel</source>
        <translation>Save to:</translation>
    </message>
    <message>
        <source>destinationPlaceholder</source>
        <translation>Choose a folder for the movies</translation>
    </message>
    <message>
        <source>destinationChoose</source>
        <translation>Choose…</translation>
    </message>
    <message>
        <source>destinationReveal</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>btPause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>btPlay</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>btStop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>btStopAnalysis</source>
        <translation>Stop the analysis</translation>
    </message>
    <message>
        <source>a11yRunControls</source>
        <translation>Conversion controls</translation>
    </message>
    <message>
        <source>a11yAnalysisControls</source>
        <translation>Analysis controls</translation>
    </message>
    <message>
        <source>a11yBatchProgress</source>
        <translation>Batch progress</translation>
    </message>
    <message>
        <source>a11yAnalysisProgress</source>
        <translation>Analysis in progress</translation>
    </message>
    <message>
        <source>a11yBatchTable</source>
        <translation>Clips to convert</translation>
    </message>
    <message>
        <source>segRewrap</source>
        <translation>Rewrap</translation>
    </message>
    <message>
        <source>segAic</source>
        <translation>AIC</translation>
    </message>
    <message>
        <source>segProres</source>
        <translation>ProRes</translation>
    </message>
    <message>
        <source>segNormal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>segHalf</source>
        <translation>½ rate</translation>
    </message>
    <message>
        <source>segSlow</source>
        <translation>Slow motion</translation>
    </message>
    <message>
        <source>colOrder</source>
        <translation>#</translation>
    </message>
    <message>
        <source>colStatus</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>colThumbnail</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source>colSource</source>
        <translation>Clip</translation>
    </message>
    <message>
        <source>colOut</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>colFps</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>puce</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>puceCurrent</source>
        <translation>Converting</translation>
    </message>
    <message>
        <source>puceSuccess</source>
        <translation>Converted</translation>
    </message>
    <message>
        <source>puceFailure</source>
        <translation>Failed or skipped</translation>
    </message>
    <message>
        <source>menuFile</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>menuOpen</source>
        <translation>&amp;Open Files…</translation>
    </message>
    <message>
        <source>menuOpenFolder</source>
        <translation>Open &amp;Folder…</translation>
    </message>
    <message>
        <source>menuImportCard</source>
        <translation>&amp;Import Card…</translation>
    </message>
    <message>
        <source>cardOfferBt</source>
        <translation>Import %1</translation>
    </message>
    <message>
        <source>cardNoticedTitle</source>
        <translation>Camera card %1</translation>
    </message>
    <message>
        <source>cardNoticedBody</source>
        <translation>To copy it to your archives, click Import on the Fluxaro window.</translation>
    </message>
    <message>
        <source>cardWatchOff</source>
        <translation>Cards are not noticed: %1</translation>
    </message>
    <message>
        <source>cardWatchNoBus</source>
        <translation>no system bus</translation>
    </message>
    <message>
        <source>cardWatchNoUdisks</source>
        <translation>UDisks2 is not running</translation>
    </message>
    <message>
        <source>importCardTitle</source>
        <translation>Import Card</translation>
    </message>
    <message>
        <source>importCardCard</source>
        <translation>Card:</translation>
    </message>
    <message>
        <source>importCardArchive</source>
        <translation>Archive:</translation>
    </message>
    <message>
        <source>importCardArchive2</source>
        <translation>Second archive (optional):</translation>
    </message>
    <message>
        <source>importCardChoose</source>
        <translation>Choose…</translation>
    </message>
    <message>
        <source>importCardGo</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>importCardGoConvert</source>
        <translation>Import and Convert</translation>
    </message>
    <message>
        <source>importCardStop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>importCardSafe</source>
        <translation>Safe to format: %1 files verified in every archive (%2)</translation>
    </message>
    <message>
        <source>importCardNotSafe</source>
        <translation>Not safe to format: some files are not verified in every archive (see below)</translation>
    </message>
    <message>
        <source>menuPref</source>
        <translation>&amp;Preferences…</translation>
    </message>
    <message>
        <source>menuBatch</source>
        <translation>&amp;Batch</translation>
    </message>
    <message>
        <source>menuGo</source>
        <translation>&amp;Convert</translation>
    </message>
    <message>
        <source>menuRemove</source>
        <translation>&amp;Remove Clip</translation>
    </message>
    <message>
        <source>menuRemoveAll</source>
        <translation>Remove &amp;All Clips</translation>
    </message>
    <message>
        <source>menuUndoRemove</source>
        <translation>&amp;Undo Remove</translation>
    </message>
    <message>
        <source>menuConvertAgain</source>
        <translation>&amp;Convert Again</translation>
    </message>
    <message>
        <source>menuDrawer</source>
        <translation>Show or Hide the &amp;Batch</translation>
    </message>
    <message>
        <source>menuReveal</source>
        <translation>Show the &amp;Movies</translation>
    </message>
    <message>
        <source>menuHelpTitle</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>menuLogsFolder</source>
        <translation>Open the &amp;Logs Folder</translation>
    </message>
    <message>
        <source>menuLogdetails</source>
        <translation>Open the &amp;Detailed Log</translation>
    </message>
    <message>
        <source>menuLogresume</source>
        <translation>Open the &amp;Summary Log</translation>
    </message>
    <message>
        <source>segNoEncoder</source>
        <translation>%1: no encoder for it on this system</translation>
    </message>
    <message>
        <source>segNeeds31</source>
        <translation>%1: needs a source of 31 frames/s or more</translation>
    </message>
    <message>
        <source>segRewrapKeeps</source>
        <translation>%1: not with “%2”, which keeps every frame</translation>
    </message>
    <message>
        <source>segConverted</source>
        <translation>Converted with these choices: “Convert Again” opens them to change</translation>
    </message>
    <message>
        <source>D_go_sourceMore</source>
        <translation>… and %1 more</translation>
    </message>
    <message>
        <source>D_go_source4</source>
        <translation>Fluxaro takes files ending in %1.</translation>
    </message>
    <message>
        <source>dropUnreadable</source>
        <translation>can't be read (no permission)</translation>
    </message>
    <message>
        <source>dropNothingAdded</source>
        <translation>Nothing was added to the list.</translation>
    </message>
    <message>
        <source>batchNothingToConvert</source>
        <translation>Every source in the list is converted already.</translation>
    </message>
    <message>
        <source>batchNothingToConvert2</source>
        <translation>Add sources, or choose “Convert Again” for a converted row to convert it once more.</translation>
    </message>
    <message>
        <source>D_phase_rewrapping</source>
        <translation>rewrapping</translation>
    </message>
    <message>
        <source>D_phase_encodingTo</source>
        <translation>encoding to %1</translation>
    </message>
    <message>
        <source>D_phase_place</source>
        <translation>%1 of %2</translation>
    </message>
    <message>
        <source>rowRefused</source>
        <translation>Refused</translation>
    </message>
    <message>
        <source>rowConverted</source>
        <translation>Converted</translation>
    </message>
    <message>
        <source>rowFailed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>rowKept</source>
        <translation>Kept</translation>
    </message>
    <message>
        <source>rowSkipped</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>rowStopped</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>rowNotDone</source>
        <translation>Not done</translation>
    </message>
    <message>
        <source>rowWhy</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>rowSourceFacts</source>
        <translation>%1x%2, %3 fps</translation>
    </message>
    <message>
        <source>rowAccepted</source>
        <translation>accepted: %1</translation>
    </message>
    <message>
        <source>rowScan_psf</source>
        <translation>progressive pictures in an interlaced stream</translation>
    </message>
    <message>
        <source>rowScan_pulldown</source>
        <translation>24p in 2:3 pulldown, removed by the export to 23.976 progressive pictures; a rewrap can't remove it</translation>
    </message>
    <message>
        <source>dlCancelled</source>
        <translation>The download was cancelled.</translation>
    </message>
    <message>
        <source>DL_versionOffered</source>
        <translation>Version %1 is available, you have %2.</translation>
    </message>
    <message>
        <source>D_mailNoProgram_1</source>
        <translation>No mail program could be opened</translation>
    </message>
    <message>
        <source>D_mailNoProgram_2</source>
        <translation>Write to %1 from your mail program.</translation>
    </message>
    <message>
        <source>D_copyAddress</source>
        <translation>Copy the address</translation>
    </message>
    <message>
        <source>D_mailOpened</source>
        <translation>Your mail program opens a message to the support.</translation>
    </message>
    <message>
        <source>D_mailIfNot</source>
        <translation>If no message opens, write to %1.</translation>
    </message>
    <message>
        <source>D_openNoOpener</source>
        <translation>This desktop has no program that opens addresses (xdg-open is missing).</translation>
    </message>
    <message>
        <source>D_openNoProgram</source>
        <translation>The desktop knows no program for it.</translation>
    </message>
    <message>
        <source>D_openFailed</source>
        <translation>The desktop's opener failed (xdg-open ended with status %1).</translation>
    </message>
    <message>
        <source>D_openCrashed</source>
        <translation>The desktop's opener stopped before it could open it.</translation>
    </message>
    <message>
        <source>D_siteNotOpened_1</source>
        <translation>The web site could not be opened</translation>
    </message>
    <message>
        <source>D_siteNotOpened_2</source>
        <translation>Open %1 in your browser. %2</translation>
    </message>
    <message>
        <source>D_outcome_sourceGone</source>
        <translation>the source is gone</translation>
    </message>
    <message>
        <source>D_outcome_pulldownRewrap</source>
        <translation>24p in 2:3 pulldown can't be rewrapped: choose ProRes</translation>
    </message>
    <message>
        <source>D_outcome_notEnoughSpace</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>D_outcome_cannotWriteDestination</source>
        <translation>no file can be created in the destination folder</translation>
    </message>
    <message>
        <source>D_outcome_journalNotWritten</source>
        <translation>its job record can't be written (is the home folder full?): it was not converted</translation>
    </message>
    <message>
        <source>D_outcome_noCommand</source>
        <translation>no conversion suits this source</translation>
    </message>
    <message>
        <source>D_outcome_toolCannotStart</source>
        <translation>the converter can't be started</translation>
    </message>
    <message>
        <source>D_outcome_toolStalled</source>
        <translation>the converter made no progress and was stopped</translation>
    </message>
    <message>
        <source>D_outcome_noMovie</source>
        <translation>the converter made no movie</translation>
    </message>
    <message>
        <source>D_outcome_sourcePictureNotTaken</source>
        <translation>the source's picture could not be taken with its edits</translation>
    </message>
    <message>
        <source>D_outcome_cannotSetAside</source>
        <translation>the converted movie could not be set aside for the export</translation>
    </message>
    <message>
        <source>D_outcome_outputMissing</source>
        <translation>no movie was made</translation>
    </message>
    <message>
        <source>D_outcome_outputSizeUnknown</source>
        <translation>the movie's size can't be read</translation>
    </message>
    <message>
        <source>D_outcome_outputTooSmall</source>
        <translation>the movie made is too small</translation>
    </message>
    <message>
        <source>D_outcome_outputUnreadable</source>
        <translation>the movie made can't be read</translation>
    </message>
    <message>
        <source>D_outcome_cannotMoveOutput</source>
        <translation>the movie could not be given its name</translation>
    </message>
    <message>
        <source>D_outcome_sourceReadError</source>
        <translation>the source could not be read whole</translation>
    </message>
    <message>
        <source>D_outcome_outputIncomplete</source>
        <translation>the movie holds less than the source: it is kept as incomplete</translation>
    </message>
    <message>
        <source>D_outcome_outputDiffers</source>
        <translation>the movie is not what was recorded</translation>
    </message>
    <message>
        <source>D_verify_pictures</source>
        <translation>the movie holds %1 pictures of the %2 planned</translation>
    </message>
    <message>
        <source>D_verify_duration</source>
        <translation>the movie holds %1 s of the %2 s planned</translation>
    </message>
    <message>
        <source>D_verify_rate</source>
        <translation>its pictures are at %1 frames/s where %2 were planned</translation>
    </message>
    <message>
        <source>D_verify_noSound</source>
        <translation>the movie has no sound where the source has</translation>
    </message>
    <message>
        <source>D_verify_soundTrack</source>
        <translation>its sound has %1 channels where the kept track has %2</translation>
    </message>
    <message>
        <source>D_verify_soundLength</source>
        <translation>its sound lasts %1 s where %2 s were planned</translation>
    </message>
    <message>
        <source>D_verify_soundStart</source>
        <translation>its sound begins at %1 ms of the first picture where the source's begins at %2 ms</translation>
    </message>
    <message>
        <source>D_verify_size</source>
        <translation>its pictures are %1x%2 where %3x%4 were planned</translation>
    </message>
    <message>
        <source>D_verify_pixelAspect</source>
        <translation>its pixel aspect is %1 where the source's is %2</translation>
    </message>
    <message>
        <source>D_verify_rotation</source>
        <translation>it is shown turned by %1 degrees where the source is turned by %2</translation>
    </message>
    <message>
        <source>D_verify_colour</source>
        <translation>its colour description is %1 where the source's is %2</translation>
    </message>
    <message>
        <source>D_verify_date</source>
        <translation>its recording date (header %1, key %2) is not the planned %3</translation>
    </message>
    <message>
        <source>D_verify_toolReadError</source>
        <translation>%1 could not read the source (%2)</translation>
    </message>
    <message>
        <source>D_verify_noPicture</source>
        <translation>the movie has no pictures</translation>
    </message>
    <message>
        <source>D_verify_unreadable</source>
        <translation>the movie's index can't be read (%1)</translation>
    </message>
    <message>
        <source>D_verify_proved</source>
        <translation>verified: %1 pictures at %2, %3 s, %4</translation>
    </message>
    <message>
        <source>D_verify_held</source>
        <translation>the movie holds %1 pictures at %2, %3 s, %4</translation>
    </message>
    <message>
        <source>D_verify_soundAt</source>
        <translation>sound %1 ms</translation>
    </message>
    <message>
        <source>D_verify_silent</source>
        <translation>no sound</translation>
    </message>
    <message>
        <source>D_verify_keptAs</source>
        <translation>kept as '%1'</translation>
    </message>
    <message>
        <source>D_outcome_stopped</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>D_outcome_kept</source>
        <translation>the existing movie was kept</translation>
    </message>
    <message>
        <source>D_outcome_notDone</source>
        <translation>not converted: the batch was stopped</translation>
    </message>
    <message>
        <source>D_outcome_failed</source>
        <translation>the conversion failed</translation>
    </message>
    <message>
        <source>D_refusal_notRegularFile</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>D_refusal_nameNotUtf8</source>
        <translation>its name is not valid UTF-8: rename it</translation>
    </message>
    <message>
        <source>D_refusal_notAcceptedType</source>
        <translation>not a kind of movie Fluxaro converts</translation>
    </message>
    <message>
        <source>D_refusal_duplicate</source>
        <translation>already in the list</translation>
    </message>
    <message>
        <source>D_refusal_toolCannotStart</source>
        <translation>ffmpeg can't be started</translation>
    </message>
    <message>
        <source>D_refusal_missing</source>
        <translation>the file is missing</translation>
    </message>
    <message>
        <source>D_refusal_unreadable</source>
        <translation>the file can't be read as a movie</translation>
    </message>
    <message>
        <source>D_refusal_noMovieStreams</source>
        <translation>the file holds no movie</translation>
    </message>
    <message>
        <source>D_refusal_noVideoStream</source>
        <translation>the file holds no picture</translation>
    </message>
    <message>
        <source>D_refusal_interlaced</source>
        <translation>its pictures are interlaced</translation>
    </message>
    <message>
        <source>D_refusal_interlacedUndecided</source>
        <translation>flagged interlaced, and its pictures can't be told progressive</translation>
    </message>
    <message>
        <source>D_refusal_analysisStopped</source>
        <translation>the analysis was stopped</translation>
    </message>
    <message>
        <source>D_refusal_folderUnreadable</source>
        <translation>the folder can't be read</translation>
    </message>
    <message>
        <source>D_summary_converted</source>
        <translation>%1 converted</translation>
    </message>
    <message>
        <source>D_summary_failed</source>
        <translation>%1 failed</translation>
    </message>
    <message>
        <source>D_summary_kept</source>
        <translation>%1 kept</translation>
    </message>
    <message>
        <source>D_summary_skipped</source>
        <translation>%1 skipped</translation>
    </message>
    <message>
        <source>D_summary_stopped</source>
        <translation>%1 stopped</translation>
    </message>
    <message>
        <source>D_summary_notDone</source>
        <translation>%1 not done</translation>
    </message>
    <message>
        <source>D_summary_because</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>fields</name>
    <message>
        <source>TFF</source>
        <translation>top field first</translation>
    </message>
    <message>
        <source>BFF</source>
        <translation>bottom field first</translation>
    </message>
    <message>
        <source>PFF</source>
        <translation>progressive</translation>
    </message>
</context>
</TS>

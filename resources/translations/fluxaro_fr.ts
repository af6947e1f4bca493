<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Localized</name>
    <message>
        <source>D_Langue</source>
        <translation>fr</translation>
    </message>
    <message>
        <source>D_check_CPU</source>
        <translation>Processeur non pris en charge</translation>
    </message>
    <message>
        <source>DL_loi_2</source>
        <translation>Ce processeur est trop ancien pour convertir ces films. Fluxaro va quitter.</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_1</source>
        <translation>Fluxaro est déjà ouvert</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_2</source>
        <translation>Une autre copie de Fluxaro tourne déjà pour cet utilisateur. Utilisez-la ; cette copie va quitter.</translation>
    </message>
    <message>
        <source>D_notHandedOver</source>
        <translation>Ces fichiers n'ont pas été ouverts : %1. Ouvrez-les dans la copie en cours (Fichier &gt; Ouvrir), ou réessayez.</translation>
    </message>
    <message>
        <source>D_settingsUnwritable_1</source>
        <translation>Fluxaro ne peut pas écrire ses réglages</translation>
    </message>
    <message>
        <source>D_settingsUnwritable_2</source>
        <translation>Le dossier des réglages ne peut pas être écrit (%@). Faites de la place sur le disque ou rendez le dossier à cet utilisateur, puis rouvrez Fluxaro.</translation>
    </message>
    <message>
        <source>D_noHome_1</source>
        <translation>Fluxaro n'a pas de dossier personnel</translation>
    </message>
    <message>
        <source>D_noHome_2</source>
        <translation>HOME n'est pas défini et cet utilisateur n'a pas de dossier personnel : Fluxaro n'écrit rien à la racine à sa place. Donnez à HOME un dossier de cet utilisateur.</translation>
    </message>
    <message>
        <source>D_appAlreadyOpened_3</source>
        <translation>Fluxaro ne peut pas tourner depuis ce dossier</translation>
    </message>
    <message>
        <source>D_FXpref_ouvert_2</source>
        <translation>Le chemin du dossier de Fluxaro contient une barre oblique inversée (\). Déplacez Fluxaro dans un dossier dont le chemin n'en a pas, puis rouvrez-le.</translation>
    </message>
    <message>
        <source>D_Annuler</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>D_oui</source>
        <translation>Oui</translation>
    </message>
    <message>
        <source>D_keep</source>
        <translation>Garder</translation>
    </message>
    <message>
        <source>D_replace</source>
        <translation>Remplacer</translation>
    </message>
    <message>
        <source>D_applyToAll</source>
        <translation>Appliquer à tous</translation>
    </message>
    <message>
        <source>D_quit_1</source>
        <translation>Une conversion est en cours</translation>
    </message>
    <message>
        <source>D_quit_2</source>
        <translation>Quitter maintenant arrête la conversion et son film sera incomplet. Quitter quand même ?</translation>
    </message>
    <message>
        <source>menuQuit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>menuDebug0</source>
        <translation>Mode débogage : activé</translation>
    </message>
    <message>
        <source>menuDebug1</source>
        <translation>Mode débogage : désactivé</translation>
    </message>
    <message>
        <source>menuHelp</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>helpMovieUnplayable</source>
        <translation>Le film d'aide ne peut pas être lu : il manque au système les modules GStreamer qui le décodent (les paquets gstreamer1.0-plugins-good et gstreamer1.0-libav).</translation>
    </message>
    <message>
        <source>menuBugreport</source>
        <translation>Signaler un problème</translation>
    </message>
    <message>
        <source>D_action_pause</source>
        <translation>En pause</translation>
    </message>
    <message>
        <source>D_action_stop</source>
        <translation>La conversion a été arrêtée.</translation>
    </message>
    <message>
        <source>D_stopAsk_title</source>
        <translation>Arrêter la conversion ?</translation>
    </message>
    <message>
        <source>D_stopAsk_running</source>
        <translation>%1 est en cours de conversion. « Arrêter maintenant » supprime son film inachevé ; « Arrêter après cette séquence » la laisse finir. Les séquences suivantes ne sont converties dans aucun des deux cas.</translation>
    </message>
    <message>
        <source>D_stopAsk_pending</source>
        <translation>La conversion s'arrête une fois %1 convertie. Arrêter maintenant ? Son film inachevé est supprimé.</translation>
    </message>
    <message>
        <source>D_stopAsk_between</source>
        <translation>Les séquences pas encore converties restent dans la liste.</translation>
    </message>
    <message>
        <source>D_stopAfterClip</source>
        <translation>Arrêter après cette séquence</translation>
    </message>
    <message>
        <source>D_stopNow</source>
        <translation>Arrêter maintenant</translation>
    </message>
    <message>
        <source>D_stopContinue</source>
        <translation>Continuer</translation>
    </message>
    <message>
        <source>D_batch_1</source>
        <translation>Cette source est en cours de conversion et ne peut pas être retirée maintenant.</translation>
    </message>
    <message>
        <source>D_batch_4</source>
        <translation>Vider la liste ?</translation>
    </message>
    <message>
        <source>D_batch_5</source>
        <translation>Toutes les sources seront retirées de la liste.</translation>
    </message>
    <message>
        <source>D_notif_fin_1</source>
        <translation>La conversion est terminée</translation>
    </message>
    <message>
        <source>D_notif_stop_1</source>
        <translation>La conversion a été arrêtée</translation>
    </message>
    <message>
        <source>D_phase_analysing</source>
        <translation>analyse</translation>
    </message>
    <message>
        <source>D_phase_converting</source>
        <translation>conversion</translation>
    </message>
    <message>
        <source>D_phase_exporting</source>
        <translation>exportation</translation>
    </message>
    <message>
        <source>D_phase_checking</source>
        <translation>vérification</translation>
    </message>
    <message>
        <source>D_phase_left</source>
        <translation>encore %1</translation>
    </message>
    <message>
        <source>D_phase_stopAfter</source>
        <translation>s'arrête après cette séquence</translation>
    </message>
    <message>
        <source>D_phase_paused</source>
        <translation>en pause</translation>
    </message>
    <message>
        <source>D_fin_GUI</source>
        <translation>La conversion est terminée.</translation>
    </message>
    <message>
        <source>D_go_dossier_destination1</source>
        <translation>Dossier de destination</translation>
    </message>
    <message>
        <source>D_go_dossier_destination3</source>
        <translation>Choisissez le dossier où iront les films convertis.</translation>
    </message>
    <message>
        <source>D_go_dossier_destination4Bis</source>
        <translation>Ce fichier existe déjà :</translation>
    </message>
    <message>
        <source>D_go_echec_disque4</source>
        <translation>Il n'y a pas assez d'espace libre sur le disque de destination pour ce film. Il est ignoré.</translation>
    </message>
    <message>
        <source>D_go_echec_disque5</source>
        <translation>Disque de destination plein</translation>
    </message>
    <message>
        <source>D_go_source3</source>
        <translation>Aucun de ces fichiers n'est un film que Fluxaro peut convertir.</translation>
    </message>
    <message>
        <source>dndNonCompliantFolderFilesTitle</source>
        <translation>Fichiers refusés</translation>
    </message>
    <message>
        <source>selectFileStr</source>
        <translation>Choisissez un film à convertir</translation>
    </message>
    <message>
        <source>codecNo</source>
        <translation>non disponible</translation>
    </message>
    <message>
        <source>VERSION</source>
        <translation>version</translation>
    </message>
    <message>
        <source>prefCaption0</source>
        <translation>Tel quel : la vidéo est gardée telle quelle</translation>
    </message>
    <message>
        <source>prefCaption1</source>
        <translation>Apple Intermediate Codec : pour le montage</translation>
    </message>
    <message>
        <source>prefCaption2</source>
        <translation>ProRes : pour le montage, meilleure qualité</translation>
    </message>
    <message>
        <source>prefSpeedCaption0</source>
        <translation>Vitesse normale</translation>
    </message>
    <message>
        <source>prefSpeedCaption1</source>
        <translation>Demi-cadence</translation>
    </message>
    <message>
        <source>prefSpeedCaption2</source>
        <translation>Ralenti</translation>
    </message>
    <message>
        <source>D_ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>D_suppressAlert</source>
        <translation>Ne plus afficher ce message</translation>
    </message>
    <message>
        <source>D_panelMovies</source>
        <translation>Vidéos</translation>
    </message>
    <message>
        <source>D_panelAllFiles</source>
        <translation>Tous les fichiers</translation>
    </message>
    <message>
        <source>D_panelOpenFolder</source>
        <translation>Ouvrir ce dossier</translation>
    </message>
    <message>
        <source>D_panelOpenSelection</source>
        <translation>Ouvrir la sélection</translation>
    </message>
    <message>
        <source>prefTitle</source>
        <translation>Préférences de Fluxaro</translation>
    </message>
    <message>
        <source>prefDefaultsBox</source>
        <translation>Nouvelles séquences</translation>
    </message>
    <message>
        <source>prefOutLabel</source>
        <translation>Format :</translation>
    </message>
    <message>
        <source>prefOut0</source>
        <translation>Tel quel</translation>
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
        <translation>Variante ProRes</translation>
    </message>
    <message>
        <source>prefProresNone</source>
        <translation>Aucun encodeur ProRes</translation>
    </message>
    <message>
        <source>prefJoinBox</source>
        <translation>Enregistrements scindés</translation>
    </message>
    <message>
        <source>prefJoin</source>
        <translation>Réunir les morceaux d'un enregistrement scindé en un seul film</translation>
    </message>
    <message>
        <source>prefSurroundBox</source>
        <translation>Son</translation>
    </message>
    <message>
        <source>prefSurround</source>
        <translation>Garder le son multicanal (5.1)</translation>
    </message>
    <message>
        <source>prefSpeedLabel</source>
        <translation>Cadence :</translation>
    </message>
    <message>
        <source>prefSpeed0</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>prefSpeed1</source>
        <translation>½ cadence</translation>
    </message>
    <message>
        <source>prefSpeed2</source>
        <translation>Ralenti</translation>
    </message>
    <message>
        <source>prefColorBox</source>
        <translation>Couleur de la fenêtre</translation>
    </message>
    <message>
        <source>prefColor0</source>
        <translation>Bureau</translation>
    </message>
    <message>
        <source>prefColor1</source>
        <translation>Clair</translation>
    </message>
    <message>
        <source>prefColor2</source>
        <translation>Sombre</translation>
    </message>
    <message>
        <source>prefColor3</source>
        <translation>Panneau</translation>
    </message>
    <message>
        <source>prefDstBox</source>
        <translation>Dossier de destination par défaut</translation>
    </message>
    <message>
        <source>prefDstPlaceholder</source>
        <translation>Aucun dossier choisi</translation>
    </message>
    <message>
        <source>prefChooseFolder</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>prefUpdate</source>
        <translation>Chercher une nouvelle version au démarrage</translation>
    </message>
    <message>
        <source>prefClose</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>DL_upToDate</source>
        <translation>Fluxaro %@ est la dernière version.</translation>
    </message>
    <message>
        <source>D_echec_1</source>
        <translation>Échec de la recherche de mise à jour</translation>
    </message>
    <message>
        <source>D_echec_2</source>
        <translation>Le site web n'a pas pu être joint.</translation>
    </message>
    <message>
        <source>D_noSite</source>
        <translation>Cette copie de Fluxaro n'a aucun site de mise à jour configuré : les nouvelles versions viennent du gestionnaire de paquets ou du site web.</translation>
    </message>
    <message>
        <source>D_insecureAddress</source>
        <translation>%1 ne commence pas par https:// : les mises à jour ne passent que par HTTPS, et rien n'a été téléchargé.</translation>
    </message>
    <message>
        <source>D_badRecord</source>
        <translation>La réponse du site de mise à jour donne une longueur ou une empreinte SHA-256 de l'archive illisible : rien n'a été téléchargé.</translation>
    </message>
    <message>
        <source>D_timeout</source>
        <translation>Le site de mise à jour n'a pas répondu en %1 s.</translation>
    </message>
    <message>
        <source>D_echec_2bis</source>
        <translation>Vérifiez la connexion réseau et réessayez plus tard.</translation>
    </message>
    <message>
        <source>dlNInstallPostStr</source>
        <translation>Téléchargement terminé ; installation…</translation>
    </message>
    <message>
        <source>dlNInstallFailure</source>
        <translation>Le téléchargement a échoué.</translation>
    </message>
    <message>
        <source>dlNotAnswering</source>
        <translation>La nouvelle version ne démarre pas : rien n'a été remplacé.</translation>
    </message>
    <message>
        <source>menuCheckUpdates</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>menuCheckingUpdates</source>
        <translation>Recherche de mises à jour…</translation>
    </message>
    <message>
        <source>versionChecking</source>
        <translation>%1 · recherche de mises à jour…</translation>
    </message>
    <message>
        <source>menuSite</source>
        <translation>Site web de Fluxaro</translation>
    </message>
    <message>
        <source>menuContact</source>
        <translation>Contact</translation>
    </message>
    <message>
        <source>D_download</source>
        <translation>Télécharger et installer</translation>
    </message>
    <message>
        <source>DL_packageManager</source>
        <translation>Cette copie de Fluxaro a été installée par le gestionnaire de paquets du système : la mise à jour passe par le gestionnaire de paquets. Notes de version : %@</translation>
    </message>
    <message>
        <source>DL_notWritable</source>
        <translation>Cette copie de Fluxaro est dans un dossier où vous ne pouvez pas écrire : elle ne peut pas être remplacée d'ici. Notes de version : %@</translation>
    </message>
    <message>
        <source>D_bugreport_alert</source>
        <translation>Votre messagerie ouvre un message pour le support ; le dossier des journaux est affiché pour que vous puissiez joindre ses fichiers.</translation>
    </message>
    <message>
        <source>D_bugreport_mail</source>
        <translation>Merci de décrire le problème et de joindre Details.log et Resume.log :
</translation>
    </message>
    <message>
        <source>dndCaption</source>
        <translation>Déposez ici des séquences de caméscope ou le dossier d’une carte</translation>
    </message>
    <message>
        <source>dndAction</source>
        <translation>Analyse des sources…</translation>
    </message>
    <message>
        <source>batchRemove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>batchRemoveAll</source>
        <translation>Tout retirer</translation>
    </message>
    <message>
        <source>batchGo</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>destinationLabel</source>
        <translation>Enregistrer dans :</translation>
    </message>
    <message>
        <source>destinationPlaceholder</source>
        <translation>Choisissez un dossier pour les films</translation>
    </message>
    <message>
        <source>destinationChoose</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>destinationReveal</source>
        <translation>Afficher</translation>
    </message>
    <message>
        <source>btPause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>btPlay</source>
        <translation>Reprendre</translation>
    </message>
    <message>
        <source>btStop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>btStopAnalysis</source>
        <translation>Arrêter l'analyse</translation>
    </message>
    <message>
        <source>a11yRunControls</source>
        <translation>Commandes de la conversion</translation>
    </message>
    <message>
        <source>a11yAnalysisControls</source>
        <translation>Commandes de l'analyse</translation>
    </message>
    <message>
        <source>a11yBatchProgress</source>
        <translation>Progression du lot</translation>
    </message>
    <message>
        <source>a11yAnalysisProgress</source>
        <translation>Analyse en cours</translation>
    </message>
    <message>
        <source>a11yBatchTable</source>
        <translation>Séquences à convertir</translation>
    </message>
    <message>
        <source>segRewrap</source>
        <translation>Tel quel</translation>
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
        <translation>Normale</translation>
    </message>
    <message>
        <source>segHalf</source>
        <translation>½ cadence</translation>
    </message>
    <message>
        <source>segSlow</source>
        <translation>Ralenti</translation>
    </message>
    <message>
        <source>colOrder</source>
        <translation>N°</translation>
    </message>
    <message>
        <source>colStatus</source>
        <translation>État</translation>
    </message>
    <message>
        <source>colThumbnail</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>colSource</source>
        <translation>Séquence</translation>
    </message>
    <message>
        <source>colOut</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>colFps</source>
        <translation>Cadence</translation>
    </message>
    <message>
        <source>puce</source>
        <translation>En attente</translation>
    </message>
    <message>
        <source>puceCurrent</source>
        <translation>Conversion en cours</translation>
    </message>
    <message>
        <source>puceSuccess</source>
        <translation>Converti</translation>
    </message>
    <message>
        <source>puceFailure</source>
        <translation>Échec ou ignoré</translation>
    </message>
    <message>
        <source>menuFile</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>menuOpen</source>
        <translation>&amp;Ouvrir des fichiers…</translation>
    </message>
    <message>
        <source>menuOpenFolder</source>
        <translation>Ouvrir un &amp;dossier…</translation>
    </message>
    <message>
        <source>menuImportCard</source>
        <translation>&amp;Importer une carte…</translation>
    </message>
    <message>
        <source>cardOfferBt</source>
        <translation>Importer %1</translation>
    </message>
    <message>
        <source>cardNoticedTitle</source>
        <translation>Carte d'appareil %1</translation>
    </message>
    <message>
        <source>cardNoticedBody</source>
        <translation>Pour la copier dans vos archives, cliquez sur Importer dans la fenêtre de Fluxaro.</translation>
    </message>
    <message>
        <source>cardWatchOff</source>
        <translation>Les cartes ne sont pas remarquées : %1</translation>
    </message>
    <message>
        <source>cardWatchNoBus</source>
        <translation>pas de bus système</translation>
    </message>
    <message>
        <source>cardWatchNoUdisks</source>
        <translation>UDisks2 n'est pas lancé</translation>
    </message>
    <message>
        <source>importCardTitle</source>
        <translation>Importer une carte</translation>
    </message>
    <message>
        <source>importCardCard</source>
        <translation>Carte :</translation>
    </message>
    <message>
        <source>importCardArchive</source>
        <translation>Archive :</translation>
    </message>
    <message>
        <source>importCardArchive2</source>
        <translation>Deuxième archive (facultative) :</translation>
    </message>
    <message>
        <source>importCardChoose</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>importCardGo</source>
        <translation>Importer</translation>
    </message>
    <message>
        <source>importCardGoConvert</source>
        <translation>Importer et convertir</translation>
    </message>
    <message>
        <source>importCardStop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>importCardSafe</source>
        <translation>La carte peut être formatée : %1 fichiers vérifiés dans chaque archive (%2)</translation>
    </message>
    <message>
        <source>importCardNotSafe</source>
        <translation>Ne formatez pas la carte : des fichiers ne sont pas vérifiés dans chaque archive (voir ci-dessous)</translation>
    </message>
    <message>
        <source>menuPref</source>
        <translation>&amp;Préférences…</translation>
    </message>
    <message>
        <source>menuBatch</source>
        <translation>&amp;Lot</translation>
    </message>
    <message>
        <source>menuGo</source>
        <translation>&amp;Convertir</translation>
    </message>
    <message>
        <source>menuRemove</source>
        <translation>&amp;Retirer la séquence</translation>
    </message>
    <message>
        <source>menuRemoveAll</source>
        <translation>Retirer &amp;toutes les séquences</translation>
    </message>
    <message>
        <source>menuUndoRemove</source>
        <translation>&amp;Annuler le retrait</translation>
    </message>
    <message>
        <source>menuConvertAgain</source>
        <translation>&amp;Convertir à nouveau</translation>
    </message>
    <message>
        <source>menuDrawer</source>
        <translation>Afficher ou masquer le &amp;lot</translation>
    </message>
    <message>
        <source>menuReveal</source>
        <translation>Afficher les &amp;films</translation>
    </message>
    <message>
        <source>menuHelpTitle</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>menuLogsFolder</source>
        <translation>Ouvrir le dossier des &amp;journaux</translation>
    </message>
    <message>
        <source>menuLogdetails</source>
        <translation>Ouvrir le journal &amp;détaillé</translation>
    </message>
    <message>
        <source>menuLogresume</source>
        <translation>Ouvrir le journal &amp;résumé</translation>
    </message>
    <message>
        <source>segNoEncoder</source>
        <translation>%1 : aucun encodeur sur ce système</translation>
    </message>
    <message>
        <source>segNeeds31</source>
        <translation>%1 : il faut une source de 31 images/s ou plus</translation>
    </message>
    <message>
        <source>segRewrapKeeps</source>
        <translation>%1 : impossible avec « %2 », qui garde toutes les images</translation>
    </message>
    <message>
        <source>segConverted</source>
        <translation>Converti avec ces choix : « Convertir à nouveau » permet de les changer</translation>
    </message>
    <message>
        <source>D_go_sourceMore</source>
        <translation>… et %1 autres</translation>
    </message>
    <message>
        <source>D_go_source4</source>
        <translation>Fluxaro prend les fichiers se terminant par %1.</translation>
    </message>
    <message>
        <source>dropUnreadable</source>
        <translation>illisible (pas de permission)</translation>
    </message>
    <message>
        <source>dropNothingAdded</source>
        <translation>Rien n'a été ajouté à la liste.</translation>
    </message>
    <message>
        <source>batchNothingToConvert</source>
        <translation>Toutes les sources de la liste sont déjà converties.</translation>
    </message>
    <message>
        <source>batchNothingToConvert2</source>
        <translation>Ajoutez des sources, ou choisissez « Convertir à nouveau » pour convertir encore une ligne convertie.</translation>
    </message>
    <message>
        <source>D_phase_rewrapping</source>
        <translation>réencapsulation</translation>
    </message>
    <message>
        <source>D_phase_encodingTo</source>
        <translation>encodage en %1</translation>
    </message>
    <message>
        <source>D_phase_place</source>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <source>rowRefused</source>
        <translation>Refusé</translation>
    </message>
    <message>
        <source>rowConverted</source>
        <translation>Converti</translation>
    </message>
    <message>
        <source>rowFailed</source>
        <translation>Échec</translation>
    </message>
    <message>
        <source>rowKept</source>
        <translation>Gardé</translation>
    </message>
    <message>
        <source>rowSkipped</source>
        <translation>Ignoré</translation>
    </message>
    <message>
        <source>rowStopped</source>
        <translation>Arrêté</translation>
    </message>
    <message>
        <source>rowNotDone</source>
        <translation>Pas converti</translation>
    </message>
    <message>
        <source>rowWhy</source>
        <translation>%1 : %2</translation>
    </message>
    <message>
        <source>rowSourceFacts</source>
        <translation>%1x%2, %3 images/s</translation>
    </message>
    <message>
        <source>rowAccepted</source>
        <translation>accepté : %1</translation>
    </message>
    <message>
        <source>rowScan_psf</source>
        <translation>images progressives dans un flux entrelacé</translation>
    </message>
    <message>
        <source>rowScan_pulldown</source>
        <translation>24p en pulldown 2:3, retiré par l'export en images progressives à 23,976 ; un réemballage tel quel ne peut pas le retirer</translation>
    </message>
    <message>
        <source>dlCancelled</source>
        <translation>Le téléchargement a été annulé.</translation>
    </message>
    <message>
        <source>DL_versionOffered</source>
        <translation>La version %1 est disponible, vous avez la %2.</translation>
    </message>
    <message>
        <source>D_mailNoProgram_1</source>
        <translation>Aucune messagerie n'a pu être ouverte</translation>
    </message>
    <message>
        <source>D_mailNoProgram_2</source>
        <translation>Écrivez à %1 depuis votre messagerie.</translation>
    </message>
    <message>
        <source>D_copyAddress</source>
        <translation>Copier l'adresse</translation>
    </message>
    <message>
        <source>D_mailOpened</source>
        <translation>Votre messagerie ouvre un message pour le support.</translation>
    </message>
    <message>
        <source>D_mailIfNot</source>
        <translation>Si aucun message ne s'ouvre, écrivez à %1.</translation>
    </message>
    <message>
        <source>D_openNoOpener</source>
        <translation>Ce bureau n'a aucun programme qui ouvre les adresses (xdg-open manque).</translation>
    </message>
    <message>
        <source>D_openNoProgram</source>
        <translation>Le bureau ne connaît aucun programme pour cela.</translation>
    </message>
    <message>
        <source>D_openFailed</source>
        <translation>L'ouverture par le bureau a échoué (xdg-open a fini avec le code %1).</translation>
    </message>
    <message>
        <source>D_openCrashed</source>
        <translation>L'ouverture par le bureau s'est arrêtée avant d'aboutir.</translation>
    </message>
    <message>
        <source>D_siteNotOpened_1</source>
        <translation>Le site web n'a pas pu être ouvert</translation>
    </message>
    <message>
        <source>D_siteNotOpened_2</source>
        <translation>Ouvrez %1 dans votre navigateur. %2</translation>
    </message>
    <message>
        <source>D_outcome_sourceGone</source>
        <translation>la source a disparu</translation>
    </message>
    <message>
        <source>D_outcome_pulldownRewrap</source>
        <translation>le 24p en pulldown 2:3 ne peut pas être réencapsulé : choisissez ProRes</translation>
    </message>
    <message>
        <source>D_outcome_notEnoughSpace</source>
        <translation>le disque est plein</translation>
    </message>
    <message>
        <source>D_outcome_cannotWriteDestination</source>
        <translation>aucun fichier ne peut être créé dans le dossier de destination</translation>
    </message>
    <message>
        <source>D_outcome_journalNotWritten</source>
        <translation>son journal de travail ne peut pas être écrit (le dossier personnel est-il plein ?) : elle n'a pas été convertie</translation>
    </message>
    <message>
        <source>D_outcome_noCommand</source>
        <translation>aucune conversion ne convient à cette source</translation>
    </message>
    <message>
        <source>D_outcome_toolCannotStart</source>
        <translation>le convertisseur ne peut pas être lancé</translation>
    </message>
    <message>
        <source>D_outcome_toolStalled</source>
        <translation>le convertisseur n'avançait plus et a été arrêté</translation>
    </message>
    <message>
        <source>D_outcome_noMovie</source>
        <translation>le convertisseur n'a produit aucun film</translation>
    </message>
    <message>
        <source>D_outcome_sourcePictureNotTaken</source>
        <translation>l'image de la source n'a pas pu être reprise avec ses montages</translation>
    </message>
    <message>
        <source>D_outcome_cannotSetAside</source>
        <translation>le film converti n'a pas pu être mis de côté pour l'export</translation>
    </message>
    <message>
        <source>D_outcome_outputMissing</source>
        <translation>aucun film n'a été produit</translation>
    </message>
    <message>
        <source>D_outcome_outputSizeUnknown</source>
        <translation>la taille du film ne peut pas être lue</translation>
    </message>
    <message>
        <source>D_outcome_outputTooSmall</source>
        <translation>le film produit est trop petit</translation>
    </message>
    <message>
        <source>D_outcome_outputUnreadable</source>
        <translation>le film produit est illisible</translation>
    </message>
    <message>
        <source>D_outcome_cannotMoveOutput</source>
        <translation>le film n'a pas pu recevoir son nom</translation>
    </message>
    <message>
        <source>D_outcome_sourceReadError</source>
        <translation>la source n'a pas pu être lue en entier</translation>
    </message>
    <message>
        <source>D_outcome_outputIncomplete</source>
        <translation>le film contient moins que la source : il est gardé comme incomplet</translation>
    </message>
    <message>
        <source>D_outcome_outputDiffers</source>
        <translation>le film n'est pas ce qui a été enregistré</translation>
    </message>
    <message>
        <source>D_verify_pictures</source>
        <translation>le film contient %1 images des %2 prévues</translation>
    </message>
    <message>
        <source>D_verify_duration</source>
        <translation>le film contient %1 s des %2 s prévues</translation>
    </message>
    <message>
        <source>D_verify_rate</source>
        <translation>ses images sont à %1 images/s au lieu des %2 prévues</translation>
    </message>
    <message>
        <source>D_verify_noSound</source>
        <translation>le film n'a pas de son alors que la source en a</translation>
    </message>
    <message>
        <source>D_verify_soundTrack</source>
        <translation>son son a %1 canaux alors que la piste gardée en a %2</translation>
    </message>
    <message>
        <source>D_verify_soundLength</source>
        <translation>son son dure %1 s au lieu des %2 s prévues</translation>
    </message>
    <message>
        <source>D_verify_soundStart</source>
        <translation>son son commence à %1 ms de la première image alors que celui de la source commence à %2 ms</translation>
    </message>
    <message>
        <source>D_verify_size</source>
        <translation>ses images font %1x%2 au lieu des %3x%4 prévus</translation>
    </message>
    <message>
        <source>D_verify_pixelAspect</source>
        <translation>le format de ses pixels est %1 alors que celui de la source est %2</translation>
    </message>
    <message>
        <source>D_verify_rotation</source>
        <translation>il est affiché tourné de %1 degrés alors que la source l'est de %2</translation>
    </message>
    <message>
        <source>D_verify_colour</source>
        <translation>sa description des couleurs est %1 alors que celle de la source est %2</translation>
    </message>
    <message>
        <source>D_verify_date</source>
        <translation>sa date d'enregistrement (en-tête %1, clé %2) n'est pas la date prévue %3</translation>
    </message>
    <message>
        <source>D_verify_toolReadError</source>
        <translation>%1 n'a pas pu lire la source (%2)</translation>
    </message>
    <message>
        <source>D_verify_noPicture</source>
        <translation>le film n'a pas d'images</translation>
    </message>
    <message>
        <source>D_verify_unreadable</source>
        <translation>l'index du film est illisible (%1)</translation>
    </message>
    <message>
        <source>D_verify_proved</source>
        <translation>vérifié : %1 images à %2, %3 s, %4</translation>
    </message>
    <message>
        <source>D_verify_held</source>
        <translation>le film contient %1 images à %2, %3 s, %4</translation>
    </message>
    <message>
        <source>D_verify_soundAt</source>
        <translation>son %1 ms</translation>
    </message>
    <message>
        <source>D_verify_silent</source>
        <translation>sans son</translation>
    </message>
    <message>
        <source>D_verify_keptAs</source>
        <translation>gardé sous le nom « %1 »</translation>
    </message>
    <message>
        <source>D_outcome_stopped</source>
        <translation>arrêté</translation>
    </message>
    <message>
        <source>D_outcome_kept</source>
        <translation>le film existant a été conservé</translation>
    </message>
    <message>
        <source>D_outcome_notDone</source>
        <translation>non converti : la conversion a été arrêtée</translation>
    </message>
    <message>
        <source>D_outcome_failed</source>
        <translation>la conversion a échoué</translation>
    </message>
    <message>
        <source>D_refusal_notRegularFile</source>
        <translation>pas un fichier ordinaire</translation>
    </message>
    <message>
        <source>D_refusal_nameNotUtf8</source>
        <translation>son nom n'est pas en UTF-8 valide : renommez-le</translation>
    </message>
    <message>
        <source>D_refusal_notAcceptedType</source>
        <translation>pas un type de film que Fluxaro convertit</translation>
    </message>
    <message>
        <source>D_refusal_duplicate</source>
        <translation>déjà dans la liste</translation>
    </message>
    <message>
        <source>D_refusal_toolCannotStart</source>
        <translation>ffmpeg ne peut pas être lancé</translation>
    </message>
    <message>
        <source>D_refusal_missing</source>
        <translation>le fichier est introuvable</translation>
    </message>
    <message>
        <source>D_refusal_unreadable</source>
        <translation>le fichier ne peut pas être lu comme un film</translation>
    </message>
    <message>
        <source>D_refusal_noMovieStreams</source>
        <translation>le fichier ne contient aucun film</translation>
    </message>
    <message>
        <source>D_refusal_noVideoStream</source>
        <translation>le fichier ne contient aucune image</translation>
    </message>
    <message>
        <source>D_refusal_interlaced</source>
        <translation>ses images sont entrelacées</translation>
    </message>
    <message>
        <source>D_refusal_interlacedUndecided</source>
        <translation>marqué entrelacé, et ses images ne peuvent pas être reconnues progressives</translation>
    </message>
    <message>
        <source>D_refusal_analysisStopped</source>
        <translation>l'analyse a été arrêtée</translation>
    </message>
    <message>
        <source>D_refusal_folderUnreadable</source>
        <translation>le dossier ne peut pas être lu</translation>
    </message>
    <message>
        <source>D_summary_converted</source>
        <translation>%1 converti(s)</translation>
    </message>
    <message>
        <source>D_summary_failed</source>
        <translation>%1 en échec</translation>
    </message>
    <message>
        <source>D_summary_kept</source>
        <translation>%1 conservé(s)</translation>
    </message>
    <message>
        <source>D_summary_skipped</source>
        <translation>%1 ignoré(s)</translation>
    </message>
    <message>
        <source>D_summary_stopped</source>
        <translation>%1 arrêté(s)</translation>
    </message>
    <message>
        <source>D_summary_notDone</source>
        <translation>%1 non traité(s)</translation>
    </message>
    <message>
        <source>D_summary_because</source>
        <translation>%1 : %2</translation>
    </message>
</context>
<context>
    <name>fields</name>
    <message>
        <source>TFF</source>
        <translation>trame haute en premier</translation>
    </message>
    <message>
        <source>BFF</source>
        <translation>trame basse en premier</translation>
    </message>
    <message>
        <source>PFF</source>
        <translation>progressif</translation>
    </message>
</context>
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>Folder</source>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Disque</translation>
    </message>
    <message>
        <source>Alias</source>
        <translation>Alias</translation>
    </message>
    <message>
        <source>Shortcut</source>
        <translation>Raccourci</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
</context>
</TS>

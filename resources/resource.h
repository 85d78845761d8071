/* Resource ids shared by the resource script. The dialog's control ids are
   written out in quillmere.rc; the code knows them from config/controls.h. */
#ifndef QUILLMERE_RESOURCE_H
#define QUILLMERE_RESOURCE_H

#define IDI_QUILLMERE 100              /* the screen saver's icon */
#define IDS_DESCRIPTION 1              /* the name Windows lists the saver under */
#define IDD_CONFIGURE 2003             /* the configuration dialog */
#define IDD_CHOICES 2004               /* its "Choices..." dialog */

#define QUILLMERE_VERSION 1,0,0,0
#define QUILLMERE_VERSION_TEXT "1.0.0.0"

#endif

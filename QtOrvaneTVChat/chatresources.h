#ifndef CHATRESOURCES_H
#define CHATRESOURCES_H

// Registers the chat program's compiled resources (the bubble pictures, the icon,
// the version file). The classes are linked from a static library, where the
// resources do not register themselves; every view that shows them calls this.
void initChatResources();

#endif // CHATRESOURCES_H
